#include "scene/LevelObject.h"

#include "scene/StaticMesh.h"

LevelObject::LevelObject(const std::string& meshName) : m_meshName(meshName)
{
    m_mesh = StaticMesh::FromCache(meshName);
}
