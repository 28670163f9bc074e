#include "ui/FrontEndLink.h"

namespace {
FrontEndLink* registered = nullptr;
}

FrontEndLink* FrontEndLink::Get()
{
    return registered;
}

void FrontEndLink::Register(FrontEndLink* link)
{
    registered = link;
}
