// .x files into meshes, frame hierarchies, skin information and animation controllers.

#include "d3dx9/AnimationController.h"
#include "d3dx9/AnimationSet.h"
#include "d3dx9/D3DXBuffer.h"
#include "d3dx9/Mesh.h"
#include "d3dx9/SkinInfo.h"
#include "d3dx9/XFileParser.h"
#include "win32/Log.h"
#include "win32/PathResolver.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <numeric>
#include <unordered_map>

namespace {

// Tracks the game's cross-fade uses, and room for its keyed changes on both.
constexpr UINT CONTROLLER_TRACKS = 2;
constexpr UINT CONTROLLER_EVENTS = 30;
constexpr DWORD NO_NEIGHBOUR = 0xFFFFFFFFu;

// What one file gives: its parsed records and the animation sets made from them, shared by every load of
// the same file (a battle loads each class's animation files once per unit).
struct ParsedFile {
    std::unique_ptr<XFileData> data;
    std::vector<ID3DXAnimationSet*> sets;

    ~ParsedFile()
    {
        for (ID3DXAnimationSet* set : sets)
            set->Release();
    }
};

// A skinned mesh's vertices that no bone weighs take the whole of the last weight, on the first slot of their
// palette: they follow whichever bone their group of faces happens to hold first. The file is said to have
// them, once (parsed files are kept), so that a model whose skin tears at a joint can be traced to its weights.
void ReportUnweighted(const std::vector<XFrame>& frames, const std::string& label)
{
    for (const XFrame& frame : frames) {
        for (const XMesh& mesh : frame.meshes) {
            if (!mesh.skinned)
                continue;
            std::vector<bool> weighted(mesh.positions.size(), false);
            for (const XSkinWeights& bone : mesh.skin)
                for (size_t i = 0; i < bone.vertices.size() && i < bone.weights.size(); ++i)
                    if (bone.weights[i] > 0.0f && bone.vertices[i] < weighted.size())
                        weighted[bone.vertices[i]] = true;
            const auto unweighted = std::count(weighted.begin(), weighted.end(), false);
            if (unweighted > 0)
                Log(LogLevel::WARNING, "xfile.unweighted",
                    label + ": " + std::to_string(unweighted) + " of the " + std::to_string(weighted.size()) +
                        " vertices of mesh '" + mesh.name +
                        "' are weighted by no bone; each follows the first bone of its palette");
        }
        ReportUnweighted(frame.children, label);
    }
}

std::shared_ptr<const ParsedFile> Parse(std::string_view bytes, const std::string& label)
{
    std::string error;
    auto data = ParseXFile(bytes, error);
    if (!data) {
        Log(LogLevel::WARNING, "xfile.bad", label + ": " + error);
        return nullptr;
    }
    ReportUnweighted(data->frames, label);
    auto parsed = std::make_shared<ParsedFile>();
    for (XAnimationSetData& set : data->animationSets)
        parsed->sets.push_back(new AnimationSet(std::move(set), data->ticksPerSecond));
    data->animationSets.clear();
    parsed->data = std::move(data);
    return parsed;
}

std::mutex cacheMutex;
std::map<std::string, std::shared_ptr<const ParsedFile>> cache;

std::shared_ptr<const ParsedFile> ParseFile(LPCSTR filename)
{
    if (!filename)
        return nullptr;
    // Keyed by the absolute path with the file's size and time, so a relative name read from another
    // working directory, or a file written again, is parsed afresh.
    std::string path = PathResolver::Resolve(filename);
    std::error_code failed;
    const std::filesystem::path absolute = std::filesystem::absolute(path, failed);
    const auto size = std::filesystem::file_size(absolute, failed);
    const auto time = std::filesystem::last_write_time(absolute, failed);
    if (!failed)
        path = absolute.string() + "|" + std::to_string(size) + "|" + std::to_string(time.time_since_epoch().count());
    {
        std::lock_guard lock(cacheMutex);
        const auto found = cache.find(path);
        if (found != cache.end())
            return found->second;
    }
    FILE* file = PathResolver::Open(filename, "rb");
    if (!file)
        return nullptr;
    std::string bytes;
    char chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.append(chunk, got);
    std::fclose(file);
    auto parsed = Parse(bytes, filename);
    // A file that cannot be parsed is remembered too: every unit of a class asks for it, and its fault is said
    // once. Written again, it has another size or time and is parsed afresh.
    if (parsed || !failed) {
        std::lock_guard lock(cacheMutex);
        cache.emplace(path, parsed);
    }
    return parsed;
}

// A mesh's triangles and vertices as the device takes them. A position used with different normals
// becomes one vertex per normal; source remembers each vertex's position index for the skin.
struct BuiltMesh {
    Mesh* mesh = nullptr;
    std::vector<uint32_t> source;
};

BuiltMesh BuildMesh(const XMesh& x, DWORD options, IDirect3DDevice9* device)
{
    BuiltMesh built;
    std::vector<uint32_t> corners; // vertex of each face corner
    const bool splitNormals = !x.normalFaceIndices.empty();
    if (splitNormals) {
        std::unordered_map<uint64_t, uint32_t> seen;
        seen.reserve(x.faceIndices.size());
        corners.resize(x.faceIndices.size());
        for (size_t i = 0; i < x.faceIndices.size(); ++i) {
            const uint64_t key = (static_cast<uint64_t>(x.faceIndices[i]) << 32) | x.normalFaceIndices[i];
            const auto [it, added] = seen.emplace(key, static_cast<uint32_t>(built.source.size()));
            if (added)
                built.source.push_back(x.faceIndices[i]);
            corners[i] = it->second;
        }
    } else {
        built.source.resize(x.positions.size());
        std::iota(built.source.begin(), built.source.end(), 0u);
        corners = x.faceIndices;
    }

    struct Triangle {
        uint32_t v[3];
        DWORD attribute;
    };
    std::vector<Triangle> triangles;
    triangles.reserve(x.faceIndices.size());
    for (uint32_t f = 0; f < x.FaceCount(); ++f) {
        const uint32_t first = x.faceStarts[f];
        const DWORD attribute = x.faceMaterials.empty() ? 0 : x.faceMaterials[f];
        for (uint32_t c = first + 1; c + 1 < x.FaceEnd(f); ++c)
            triangles.push_back({{corners[first], corners[c], corners[c + 1]}, attribute});
    }
    std::stable_sort(triangles.begin(), triangles.end(),
                     [](const Triangle& a, const Triangle& b) { return a.attribute < b.attribute; });

    DWORD fvf = D3DFVF_XYZ;
    if (!x.normals.empty())
        fvf |= D3DFVF_NORMAL;
    if (x.hasColors)
        fvf |= D3DFVF_DIFFUSE;
    if (!x.texCoords.empty())
        fvf |= D3DFVF_TEX1;
    Mesh* mesh = Mesh::Create(static_cast<DWORD>(triangles.size()), static_cast<DWORD>(built.source.size()), options,
                              fvf, device);
    if (!mesh)
        return built;
    const FvfLayout& layout = mesh->Layout();
    std::vector<uint32_t> normalOf;
    if (splitNormals) {
        normalOf.resize(built.source.size());
        for (size_t i = 0; i < x.faceIndices.size(); ++i)
            normalOf[corners[i]] = x.normalFaceIndices[i];
    }
    for (size_t v = 0; v < built.source.size(); ++v) {
        uint8_t* out = mesh->Vertices() + v * layout.stride;
        const uint32_t p = built.source[v];
        std::memcpy(out, &x.positions[p], 12);
        if (layout.normalOffset >= 0) {
            // Normals listed without their own faces follow the positions one to one where they can.
            const D3DXVECTOR3 n = splitNormals           ? x.normals[normalOf[v]]
                                  : p < x.normals.size() ? x.normals[p]
                                                         : D3DXVECTOR3(0.0f, 0.0f, 0.0f);
            std::memcpy(out + layout.normalOffset, &n, 12);
        }
        if (layout.diffuseOffset >= 0)
            std::memcpy(out + layout.diffuseOffset, &x.colors[p], 4);
        if (layout.texCoordOffset[0] >= 0 && layout.texCoordCount > 0)
            std::memcpy(out + layout.texCoordOffset[0], &x.texCoords[p], 8);
    }
    for (size_t t = 0; t < triangles.size(); ++t) {
        for (int c = 0; c < 3; ++c)
            mesh->SetIndexAt(t * 3 + c, triangles[t].v[c]);
        mesh->Attributes()[t] = triangles[t].attribute;
    }
    mesh->BuildAttributeTable();
    built.mesh = mesh;
    return built;
}

SkinInfo* BuildSkin(const XMesh& x, const BuiltMesh& built)
{
    std::vector<std::vector<uint32_t>> copies(x.positions.size());
    for (uint32_t v = 0; v < built.source.size(); ++v)
        copies[built.source[v]].push_back(v);
    std::vector<SkinInfo::Bone> bones;
    bones.reserve(x.skin.size());
    for (const XSkinWeights& weights : x.skin) {
        SkinInfo::Bone bone{weights.bone, {}, {}, weights.offset};
        for (size_t i = 0; i < weights.vertices.size(); ++i)
            for (uint32_t v : copies[weights.vertices[i]]) {
                bone.vertices.push_back(v);
                bone.weights.push_back(weights.weights[i]);
            }
        bones.push_back(std::move(bone));
    }
    return new SkinInfo(static_cast<DWORD>(built.source.size()), std::move(bones));
}

// D3DXMATERIAL records with the texture names they point at.
struct Materials {
    std::vector<D3DXMATERIAL> records;
    std::vector<std::string> names;

    explicit Materials(const std::vector<XMaterial>& materials)
    {
        names.reserve(materials.size());
        for (const XMaterial& m : materials) {
            names.push_back(m.textureFile);
            D3DXMATERIAL record{};
            record.MatD3D.Diffuse = m.faceColor;
            record.MatD3D.Ambient = m.faceColor;
            record.MatD3D.Specular = m.specular;
            record.MatD3D.Emissive = m.emissive;
            record.MatD3D.Power = m.power;
            records.push_back(record);
        }
        for (size_t i = 0; i < records.size(); ++i)
            records[i].pTextureFilename = names[i].empty() ? nullptr : names[i].data();
    }
};

class HierarchyBuilder
{
public:
    HierarchyBuilder(DWORD options, IDirect3DDevice9* device, ID3DXAllocateHierarchy* alloc)
        : options_(options), device_(device), alloc_(alloc)
    { }

    // Makes frame and everything under it; the frame is linked into the tree as soon as it exists, so a
    // failure part way leaves a tree that D3DXFrameDestroy can free.
    HRESULT Build(const XFrame& x, D3DXFRAME** link)
    {
        D3DXFRAME* frame = nullptr;
        HRESULT hr = alloc_->CreateFrame(x.name.empty() ? nullptr : x.name.c_str(), &frame);
        if (FAILED(hr) || !frame)
            return FAILED(hr) ? hr : E_FAIL;
        frame->TransformationMatrix = x.transform;
        frame->pMeshContainer = nullptr;
        frame->pFrameSibling = nullptr;
        frame->pFrameFirstChild = nullptr;
        *link = frame;
        frames_.push_back(frame);
        D3DXMESHCONTAINER** containerLink = &frame->pMeshContainer;
        for (const XMesh& mesh : x.meshes) {
            D3DXMESHCONTAINER* container = nullptr;
            hr = BuildContainer(mesh, &container);
            if (FAILED(hr))
                return hr;
            if (container) {
                *containerLink = container;
                while (*containerLink)
                    containerLink = &(*containerLink)->pNextMeshContainer;
            }
        }
        D3DXFRAME** childLink = &frame->pFrameFirstChild;
        for (const XFrame& child : x.children) {
            hr = Build(child, childLink);
            if (FAILED(hr))
                return hr;
            childLink = &(*childLink)->pFrameSibling;
        }
        return D3D_OK;
    }

    const std::vector<D3DXFRAME*>& Frames() const { return frames_; }

private:
    HRESULT BuildContainer(const XMesh& x, D3DXMESHCONTAINER** container)
    {
        BuiltMesh built = BuildMesh(x, options_, device_);
        if (!built.mesh)
            return x.FaceCount() == 0 ? D3D_OK : E_OUTOFMEMORY; // an empty mesh holds nothing to draw
        SkinInfo* skin = x.skinned ? BuildSkin(x, built) : nullptr;
        Materials materials(x.materials);
        std::vector<DWORD> adjacency(static_cast<size_t>(built.mesh->GetNumFaces()) * 3, NO_NEIGHBOUR);
        D3DXMESHDATA data{D3DXMESHTYPE_MESH, built.mesh};
        const HRESULT hr = alloc_->CreateMeshContainer(x.name.empty() ? nullptr : x.name.c_str(), &data,
                                                       materials.records.empty() ? nullptr : materials.records.data(),
                                                       nullptr, static_cast<DWORD>(materials.records.size()),
                                                       adjacency.data(), skin, container);
        built.mesh->Release();
        if (skin)
            skin->Release();
        if (FAILED(hr))
            *container = nullptr;
        return hr;
    }

    DWORD options_;
    IDirect3DDevice9* device_;
    ID3DXAllocateHierarchy* alloc_;
    std::vector<D3DXFRAME*> frames_;
};

HRESULT LoadHierarchy(const std::shared_ptr<const ParsedFile>& parsed, DWORD options, IDirect3DDevice9* device,
                      ID3DXAllocateHierarchy* alloc, D3DXFRAME** root, ID3DXAnimationController** controller)
{
    if (!parsed)
        return D3DXERR_INVALIDDATA;
    HierarchyBuilder builder(options, device, alloc);
    HRESULT hr = D3D_OK;
    D3DXFRAME** link = root;
    if (parsed->data->frames.empty()) {
        // A file of animation sets alone still gives a root to free.
        XFrame empty;
        D3DXMatrixIdentity(&empty.transform);
        hr = builder.Build(empty, link);
    }
    for (const XFrame& frame : parsed->data->frames) {
        if (FAILED(hr))
            break;
        hr = builder.Build(frame, link);
        if (SUCCEEDED(hr))
            link = &(*link)->pFrameSibling;
    }
    if (FAILED(hr)) {
        D3DXFrameDestroy(*root, alloc);
        *root = nullptr;
        return hr;
    }
    if (parsed->sets.empty() || !controller)
        return D3D_OK;
    auto* made = new AnimationController(static_cast<UINT>(builder.Frames().size()),
                                         static_cast<UINT>(parsed->sets.size()), CONTROLLER_TRACKS, CONTROLLER_EVENTS);
    for (D3DXFRAME* frame : builder.Frames())
        if (frame->Name)
            made->RegisterAnimationOutput(frame->Name, &frame->TransformationMatrix, nullptr, nullptr, nullptr);
    for (ID3DXAnimationSet* set : parsed->sets)
        made->RegisterAnimationSet(set);
    made->SetTrackAnimationSet(0, parsed->sets.front());
    made->SetTrackEnable(0, TRUE);
    *controller = made;
    return D3D_OK;
}

// Every mesh of the file in one, placed by its frames' transforms, materials one after another.
void Gather(const XFrame& frame, const D3DXMATRIX& parent, XMesh& all)
{
    D3DXMATRIX combined;
    D3DXMatrixMultiply(&combined, &frame.transform, &parent);
    for (const XMesh& mesh : frame.meshes) {
        const uint32_t base = static_cast<uint32_t>(all.positions.size());
        const uint32_t normalBase = static_cast<uint32_t>(all.normals.size());
        const uint32_t materialBase = static_cast<uint32_t>(all.materials.size());
        for (const D3DXVECTOR3& p : mesh.positions) {
            D3DXVECTOR3 moved;
            all.positions.push_back(*D3DXVec3TransformCoord(&moved, &p, &combined));
        }
        for (const D3DXVECTOR3& n : mesh.normals) {
            D3DXVECTOR3 turned;
            D3DXVec3TransformNormal(&turned, &n, &combined);
            all.normals.push_back(*D3DXVec3Normalize(&turned, &turned));
        }
        const uint32_t firstIndex = static_cast<uint32_t>(all.faceIndices.size());
        for (uint32_t start : mesh.faceStarts)
            all.faceStarts.push_back(start + firstIndex);
        for (uint32_t i : mesh.faceIndices)
            all.faceIndices.push_back(i + base);
        if (!mesh.normalFaceIndices.empty())
            for (uint32_t i : mesh.normalFaceIndices)
                all.normalFaceIndices.push_back(i + normalBase);
        else
            all.normalFaceIndices.clear(); // mixed: fall back to normals by position
        all.texCoords.resize(base);
        all.texCoords.insert(all.texCoords.end(), mesh.texCoords.begin(), mesh.texCoords.end());
        all.texCoords.resize(all.positions.size());
        all.colors.resize(base, 0xFFFFFFFFu);
        all.colors.insert(all.colors.end(), mesh.colors.begin(), mesh.colors.end());
        all.colors.resize(all.positions.size(), 0xFFFFFFFFu);
        all.hasColors = all.hasColors || mesh.hasColors;
        if (mesh.materials.empty()) {
            all.materials.push_back(XMaterial{});
            all.faceMaterials.insert(all.faceMaterials.end(), mesh.FaceCount(), materialBase);
        } else {
            all.materials.insert(all.materials.end(), mesh.materials.begin(), mesh.materials.end());
            for (uint32_t m : mesh.faceMaterials)
                all.faceMaterials.push_back(m + materialBase);
        }
    }
    for (const XFrame& child : frame.children)
        Gather(child, combined, all);
}

HRESULT LoadSingleMesh(const std::shared_ptr<const ParsedFile>& parsed, DWORD options, IDirect3DDevice9* device,
                       ID3DXBuffer** adjacency, ID3DXBuffer** materials, ID3DXBuffer** effectInstances,
                       DWORD* numMaterials, ID3DXMesh** mesh)
{
    if (!parsed)
        return D3DXERR_INVALIDDATA;
    XMesh all;
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    bool everyMeshSplitsNormals = true;
    std::function<void(const XFrame&)> check = [&](const XFrame& f) {
        for (const XMesh& m : f.meshes)
            everyMeshSplitsNormals = everyMeshSplitsNormals && (!m.normalFaceIndices.empty() || m.normals.empty());
        for (const XFrame& c : f.children)
            check(c);
    };
    for (const XFrame& frame : parsed->data->frames)
        check(frame);
    for (const XFrame& frame : parsed->data->frames)
        Gather(frame, identity, all);
    if (!everyMeshSplitsNormals)
        all.normalFaceIndices.clear();
    if (all.normalFaceIndices.size() != all.faceIndices.size())
        all.normalFaceIndices.clear();
    if (all.normals.size() < all.positions.size() && all.normalFaceIndices.empty())
        all.normals.clear();
    if (all.FaceCount() == 0)
        return D3DXERR_INVALIDDATA;
    if (std::all_of(all.texCoords.begin(), all.texCoords.end(),
                    [](const D3DXVECTOR2& uv) { return uv.x == 0.0f && uv.y == 0.0f; }))
        all.texCoords.clear();
    BuiltMesh built = BuildMesh(all, options, device);
    if (!built.mesh)
        return E_OUTOFMEMORY;
    if (adjacency) {
        auto* buffer = new D3DXBuffer(static_cast<size_t>(built.mesh->GetNumFaces()) * 3 * sizeof(DWORD));
        std::fill_n(static_cast<DWORD*>(buffer->GetBufferPointer()), built.mesh->GetNumFaces() * 3, NO_NEIGHBOUR);
        *adjacency = buffer;
    }
    if (materials) {
        // The records, then the texture names they point at, in one buffer.
        size_t bytes = all.materials.size() * sizeof(D3DXMATERIAL);
        for (const XMaterial& m : all.materials)
            bytes += m.textureFile.empty() ? 0 : m.textureFile.size() + 1;
        auto* buffer = new D3DXBuffer(std::max<size_t>(bytes, 1));
        auto* records = static_cast<D3DXMATERIAL*>(buffer->GetBufferPointer());
        char* text = reinterpret_cast<char*>(records + all.materials.size());
        Materials made(all.materials);
        for (size_t i = 0; i < all.materials.size(); ++i) {
            records[i] = made.records[i];
            records[i].pTextureFilename = nullptr;
            if (!made.names[i].empty()) {
                std::memcpy(text, made.names[i].c_str(), made.names[i].size() + 1);
                records[i].pTextureFilename = text;
                text += made.names[i].size() + 1;
            }
        }
        *materials = buffer;
    }
    if (effectInstances)
        *effectInstances = nullptr;
    if (numMaterials)
        *numMaterials = static_cast<DWORD>(all.materials.size());
    *mesh = built.mesh;
    return D3D_OK;
}

} // namespace

HRESULT D3DXLoadMeshHierarchyFromXA(LPCSTR filename, DWORD meshOptions, IDirect3DDevice9* device,
                                    ID3DXAllocateHierarchy* alloc, ID3DXLoadUserData*, D3DXFRAME** frameHierarchy,
                                    ID3DXAnimationController** animController)
{
    if (frameHierarchy)
        *frameHierarchy = nullptr;
    if (animController)
        *animController = nullptr;
    if (!filename || !device || !alloc || !frameHierarchy)
        return D3DERR_INVALIDCALL;
    auto parsed = ParseFile(filename);
    if (!parsed)
        return PathResolver::Exists(filename) ? D3DXERR_INVALIDDATA : E_FAIL;
    return LoadHierarchy(parsed, meshOptions, device, alloc, frameHierarchy, animController);
}

HRESULT D3DXLoadMeshHierarchyFromXInMemory(const void* memory, DWORD sizeOfMemory, DWORD meshOptions,
                                           IDirect3DDevice9* device, ID3DXAllocateHierarchy* alloc, ID3DXLoadUserData*,
                                           D3DXFRAME** frameHierarchy, ID3DXAnimationController** animController)
{
    if (frameHierarchy)
        *frameHierarchy = nullptr;
    if (animController)
        *animController = nullptr;
    if (!memory || !device || !alloc || !frameHierarchy)
        return D3DERR_INVALIDCALL;
    auto parsed = Parse(std::string_view(static_cast<const char*>(memory), sizeOfMemory), "(memory)");
    return LoadHierarchy(parsed, meshOptions, device, alloc, frameHierarchy, animController);
}

HRESULT D3DXLoadMeshFromXA(LPCSTR filename, DWORD options, IDirect3DDevice9* device, ID3DXBuffer** adjacency,
                           ID3DXBuffer** materials, ID3DXBuffer** effectInstances, DWORD* numMaterials,
                           ID3DXMesh** mesh)
{
    if (adjacency)
        *adjacency = nullptr;
    if (materials)
        *materials = nullptr;
    if (mesh)
        *mesh = nullptr;
    if (!filename || !device || !mesh)
        return D3DERR_INVALIDCALL;
    auto parsed = ParseFile(filename);
    if (!parsed)
        return PathResolver::Exists(filename) ? D3DXERR_INVALIDDATA : E_FAIL;
    return LoadSingleMesh(parsed, options, device, adjacency, materials, effectInstances, numMaterials, mesh);
}

HRESULT D3DXLoadMeshFromXInMemory(const void* memory, DWORD sizeOfMemory, DWORD options, IDirect3DDevice9* device,
                                  ID3DXBuffer** adjacency, ID3DXBuffer** materials, ID3DXBuffer** effectInstances,
                                  DWORD* numMaterials, ID3DXMesh** mesh)
{
    if (adjacency)
        *adjacency = nullptr;
    if (materials)
        *materials = nullptr;
    if (mesh)
        *mesh = nullptr;
    if (!memory || !device || !mesh)
        return D3DERR_INVALIDCALL;
    auto parsed = Parse(std::string_view(static_cast<const char*>(memory), sizeOfMemory), "(memory)");
    return LoadSingleMesh(parsed, options, device, adjacency, materials, effectInstances, numMaterials, mesh);
}

HRESULT D3DXFrameDestroy(D3DXFRAME* frameRoot, ID3DXAllocateHierarchy* alloc)
{
    if (!alloc)
        return D3DERR_INVALIDCALL;
    HRESULT result = D3D_OK;
    for (D3DXFRAME* frame = frameRoot; frame;) {
        D3DXFRAME* sibling = frame->pFrameSibling;
        for (D3DXMESHCONTAINER* container = frame->pMeshContainer; container;) {
            D3DXMESHCONTAINER* next = container->pNextMeshContainer;
            if (FAILED(alloc->DestroyMeshContainer(container)))
                result = E_FAIL;
            container = next;
        }
        if (frame->pFrameFirstChild && FAILED(D3DXFrameDestroy(frame->pFrameFirstChild, alloc)))
            result = E_FAIL;
        if (FAILED(alloc->DestroyFrame(frame)))
            result = E_FAIL;
        frame = sibling;
    }
    return result;
}

D3DXFRAME* D3DXFrameFind(const D3DXFRAME* frameRoot, LPCSTR name)
{
    for (const D3DXFRAME* frame = frameRoot; frame; frame = frame->pFrameSibling) {
        if (frame->Name && name && std::strcmp(frame->Name, name) == 0)
            return const_cast<D3DXFRAME*>(frame);
        if (!frame->Name && !name)
            return const_cast<D3DXFRAME*>(frame);
        if (D3DXFRAME* found = D3DXFrameFind(frame->pFrameFirstChild, name))
            return found;
    }
    return nullptr;
}
