#include "core/Job.h"

void Job::Run()
{
    if (m_target)
        m_target->Execute();
}
