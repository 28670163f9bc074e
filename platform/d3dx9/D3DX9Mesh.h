#pragma once
// Our own declarations of the D3DX mesh services: meshes with attribute tables, .x files (the text form)
// loaded as single meshes or as frame hierarchies with skin information and animation sets, and the
// keyframed animation controller that poses the frames.
//
// .x conventions we read: matrices are D3DX row-vector matrices; a rotation key's four values are
// w, x, y, z of the D3DXQUATERNION that D3DXMatrixRotationQuaternion turns into the frame's rotation;
// a frame's animated local matrix is scale x rotation x translation.

#include "d3dx9/D3DX9Core.h"
#include "d3dx9/D3DX9Math.h"

typedef double DOUBLE;

struct D3DMATERIAL9 {
    D3DCOLORVALUE Diffuse;
    D3DCOLORVALUE Ambient;
    D3DCOLORVALUE Specular;
    D3DCOLORVALUE Emissive;
    float Power;
};

struct D3DXMATERIAL {
    D3DMATERIAL9 MatD3D;
    LPSTR pTextureFilename;
};

struct D3DXATTRIBUTERANGE {
    DWORD AttribId;
    DWORD FaceStart;
    DWORD FaceCount;
    DWORD VertexStart;
    DWORD VertexCount;
};

// Vertex declarations (what GetDeclaration reports of a mesh's vertex format).
struct D3DVERTEXELEMENT9 {
    WORD Stream;
    WORD Offset;
    BYTE Type;
    BYTE Method;
    BYTE Usage;
    BYTE UsageIndex;
};

constexpr UINT MAX_FVF_DECL_SIZE = 65;

enum D3DDECLTYPE : BYTE
{
    D3DDECLTYPE_FLOAT1 = 0,
    D3DDECLTYPE_FLOAT2 = 1,
    D3DDECLTYPE_FLOAT3 = 2,
    D3DDECLTYPE_FLOAT4 = 3,
    D3DDECLTYPE_D3DCOLOR = 4,
    D3DDECLTYPE_UBYTE4 = 5,
    D3DDECLTYPE_UNUSED = 17,
};

enum D3DDECLUSAGE : BYTE
{
    D3DDECLUSAGE_POSITION = 0,
    D3DDECLUSAGE_BLENDWEIGHT = 1,
    D3DDECLUSAGE_BLENDINDICES = 2,
    D3DDECLUSAGE_NORMAL = 3,
    D3DDECLUSAGE_PSIZE = 4,
    D3DDECLUSAGE_TEXCOORD = 5,
    D3DDECLUSAGE_POSITIONT = 9,
    D3DDECLUSAGE_COLOR = 10,
};

constexpr BYTE D3DDECLMETHOD_DEFAULT = 0;

// Mesh options.
constexpr DWORD D3DXMESH_32BIT = 0x001;
constexpr DWORD D3DXMESH_SYSTEMMEM = 0x110;
constexpr DWORD D3DXMESH_MANAGED = 0x220;
constexpr DWORD D3DXMESHOPT_COMPACT = 0x01000000;
constexpr DWORD D3DXMESHOPT_ATTRSORT = 0x02000000;
constexpr DWORD D3DXMESHOPT_VERTEXCACHE = 0x04000000;

struct ID3DXMesh : IUnknown {
    virtual HRESULT DrawSubset(DWORD attribId) = 0;
    virtual DWORD GetNumFaces() = 0;
    virtual DWORD GetNumVertices() = 0;
    virtual DWORD GetFVF() = 0;
    virtual HRESULT GetDeclaration(D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE]) = 0;
    virtual DWORD GetNumBytesPerVertex() = 0;
    virtual DWORD GetOptions() = 0;
    virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
    virtual HRESULT CloneMeshFVF(DWORD options, DWORD fvf, IDirect3DDevice9* device, ID3DXMesh** cloneMesh) = 0;
    virtual HRESULT CloneMesh(DWORD options, const D3DVERTEXELEMENT9* declaration, IDirect3DDevice9* device,
                              ID3DXMesh** cloneMesh) = 0;
    // The CPU copies; an unlock marks the data for upload at the next draw.
    virtual HRESULT LockVertexBuffer(DWORD flags, void** data) = 0;
    virtual HRESULT UnlockVertexBuffer() = 0;
    virtual HRESULT LockIndexBuffer(DWORD flags, void** data) = 0;
    virtual HRESULT UnlockIndexBuffer() = 0;
    virtual HRESULT GetAttributeTable(D3DXATTRIBUTERANGE* attribTable, DWORD* attribTableSize) = 0;
    virtual HRESULT LockAttributeBuffer(DWORD flags, DWORD** data) = 0;
    virtual HRESULT UnlockAttributeBuffer() = 0;
    // Only the usage-type pairs may change: the layout (offsets and sizes) must stay that of the format.
    virtual HRESULT UpdateSemantics(D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE]) = 0;
};

HRESULT D3DXCreateMeshFVF(DWORD numFaces, DWORD numVertices, DWORD options, DWORD fvf, IDirect3DDevice9* device,
                          ID3DXMesh** mesh);
HRESULT D3DXCreateBox(IDirect3DDevice9* device, FLOAT width, FLOAT height, FLOAT depth, ID3DXMesh** mesh,
                      ID3DXBuffer** adjacency);
// Area-weighted face normals summed per vertex; the adjacency is not needed.
HRESULT D3DXComputeNormals(ID3DXMesh* mesh, const DWORD* adjacency);
HRESULT D3DXDeclaratorFromFVF(DWORD fvf, D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE]);

// Skin information: bones by name, the vertices each moves and by how much, and the offset matrices.
struct D3DXBONECOMBINATION {
    DWORD AttribId;
    DWORD FaceStart;
    DWORD FaceCount;
    DWORD VertexStart;
    DWORD VertexCount;
    DWORD* BoneId; // one per palette slot, UINT_MAX where the slot is unused
};

struct ID3DXSkinInfo : IUnknown {
    virtual DWORD GetNumBones() = 0;
    virtual LPCSTR GetBoneName(DWORD bone) = 0;
    virtual D3DXMATRIX* GetBoneOffsetMatrix(DWORD bone) = 0;
    virtual DWORD GetNumBoneInfluences(DWORD bone) = 0;
    virtual HRESULT GetBoneInfluence(DWORD bone, DWORD* vertices, FLOAT* weights) = 0;
    virtual HRESULT GetMaxVertexInfluences(DWORD* maxVertexInfluences) = 0;
    // Splits the mesh into bone combinations of at most paletteSize bones each and writes per-vertex
    // blend weights and palette indices (the format's last beta holds the four index bytes).
    virtual HRESULT ConvertToIndexedBlendedMesh(ID3DXMesh* meshIn, DWORD options, DWORD paletteSize,
                                                const DWORD* adjacencyIn, DWORD* adjacencyOut, DWORD* faceRemap,
                                                ID3DXBuffer** vertexRemap, DWORD* maxFaceInfl,
                                                DWORD* numBoneCombinations, ID3DXBuffer** boneCombinationTable,
                                                ID3DXMesh** meshOut) = 0;
};

// Frame hierarchies.
enum D3DXMESHDATATYPE : DWORD
{
    D3DXMESHTYPE_MESH = 1,
    D3DXMESHTYPE_PMESH = 2,
    D3DXMESHTYPE_PATCHMESH = 3,
};

struct D3DXMESHDATA {
    D3DXMESHDATATYPE Type;
    ID3DXMesh* pMesh;
};

struct D3DXEFFECTDEFAULT;
struct D3DXEFFECTINSTANCE {
    LPSTR pEffectFilename;
    DWORD NumDefaults;
    D3DXEFFECTDEFAULT* pDefaults;
};

struct D3DXMESHCONTAINER {
    LPSTR Name;
    D3DXMESHDATA MeshData;
    D3DXMATERIAL* pMaterials;
    D3DXEFFECTINSTANCE* pEffects;
    DWORD NumMaterials;
    DWORD* pAdjacency;
    ID3DXSkinInfo* pSkinInfo;
    D3DXMESHCONTAINER* pNextMeshContainer;
};

struct D3DXFRAME {
    LPSTR Name;
    D3DXMATRIX TransformationMatrix;
    D3DXMESHCONTAINER* pMeshContainer;
    D3DXFRAME* pFrameSibling;
    D3DXFRAME* pFrameFirstChild;
};

typedef D3DXFRAME* LPD3DXFRAME;
typedef D3DXMESHCONTAINER* LPD3DXMESHCONTAINER;

// The caller's allocator makes and frees every frame and mesh container of a hierarchy.
struct ID3DXAllocateHierarchy {
    virtual HRESULT CreateFrame(LPCSTR name, D3DXFRAME** newFrame) = 0;
    virtual HRESULT CreateMeshContainer(LPCSTR name, const D3DXMESHDATA* meshData, const D3DXMATERIAL* materials,
                                        const D3DXEFFECTINSTANCE* effectInstances, DWORD numMaterials,
                                        const DWORD* adjacency, ID3DXSkinInfo* skinInfo,
                                        D3DXMESHCONTAINER** newMeshContainer) = 0;
    virtual HRESULT DestroyFrame(D3DXFRAME* frameToFree) = 0;
    virtual HRESULT DestroyMeshContainer(D3DXMESHCONTAINER* meshContainerToFree) = 0;

protected:
    ~ID3DXAllocateHierarchy() = default;
};

struct ID3DXLoadUserData;

// Animation.
enum D3DXTRANSITION_TYPE : DWORD
{
    D3DXTRANSITION_LINEAR = 0,
    D3DXTRANSITION_EASEINEASEOUT = 1,
};

enum D3DXPRIORITY_TYPE : DWORD
{
    D3DXPRIORITY_LOW = 0,
    D3DXPRIORITY_HIGH = 1,
};

struct D3DXTRACK_DESC {
    D3DXPRIORITY_TYPE Priority;
    FLOAT Weight;
    FLOAT Speed;
    DOUBLE Position;
    BOOL Enable;
};

typedef DWORD D3DXEVENTHANDLE;

struct ID3DXAnimationCallbackHandler;

struct ID3DXAnimationSet : IUnknown {
    virtual LPCSTR GetName() = 0;
    virtual DOUBLE GetPeriod() = 0;
    // Sets loop: the position within one period.
    virtual DOUBLE GetPeriodicPosition(DOUBLE position) = 0;
    virtual UINT GetNumAnimations() = 0;
    virtual HRESULT GetAnimationNameByIndex(UINT index, LPCSTR* name) = 0;
    virtual HRESULT GetAnimationIndexByName(LPCSTR name, UINT* index) = 0;
    // Scale, rotation and translation of one animation at a periodic position in seconds.
    virtual HRESULT GetSRT(DOUBLE periodicPosition, UINT animation, D3DXVECTOR3* scale, D3DXQUATERNION* rotation,
                           D3DXVECTOR3* translation) = 0;
};

struct ID3DXAnimationController : IUnknown {
    virtual UINT GetMaxNumAnimationOutputs() = 0;
    virtual UINT GetMaxNumAnimationSets() = 0;
    virtual UINT GetMaxNumTracks() = 0;
    virtual UINT GetMaxNumEvents() = 0;
    virtual HRESULT RegisterAnimationOutput(LPCSTR name, D3DXMATRIX* matrix, D3DXVECTOR3* scale,
                                            D3DXQUATERNION* rotation, D3DXVECTOR3* translation) = 0;
    virtual HRESULT RegisterAnimationSet(ID3DXAnimationSet* animSet) = 0;
    virtual HRESULT UnregisterAnimationSet(ID3DXAnimationSet* animSet) = 0;
    virtual UINT GetNumAnimationSets() = 0;
    virtual HRESULT GetAnimationSet(UINT index, ID3DXAnimationSet** animationSet) = 0;
    virtual HRESULT GetAnimationSetByName(LPCSTR name, ID3DXAnimationSet** animationSet) = 0;
    virtual HRESULT AdvanceTime(DOUBLE timeDelta, ID3DXAnimationCallbackHandler* callbackHandler) = 0;
    virtual HRESULT ResetTime() = 0;
    virtual DOUBLE GetTime() = 0;
    virtual HRESULT SetTrackAnimationSet(UINT track, ID3DXAnimationSet* animSet) = 0;
    virtual HRESULT GetTrackAnimationSet(UINT track, ID3DXAnimationSet** animSet) = 0;
    virtual HRESULT SetTrackPosition(UINT track, DOUBLE position) = 0;
    virtual HRESULT SetTrackEnable(UINT track, BOOL enable) = 0;
    virtual HRESULT SetTrackSpeed(UINT track, FLOAT speed) = 0;
    virtual HRESULT SetTrackWeight(UINT track, FLOAT weight) = 0;
    virtual HRESULT GetTrackDesc(UINT track, D3DXTRACK_DESC* desc) = 0;
    virtual D3DXEVENTHANDLE KeyTrackSpeed(UINT track, FLOAT newSpeed, DOUBLE startTime, DOUBLE duration,
                                          D3DXTRANSITION_TYPE transition) = 0;
    virtual D3DXEVENTHANDLE KeyTrackWeight(UINT track, FLOAT newWeight, DOUBLE startTime, DOUBLE duration,
                                           D3DXTRANSITION_TYPE transition) = 0;
    virtual D3DXEVENTHANDLE KeyTrackPosition(UINT track, DOUBLE newPosition, DOUBLE startTime) = 0;
    virtual D3DXEVENTHANDLE KeyTrackEnable(UINT track, BOOL newEnable, DOUBLE startTime) = 0;
    virtual HRESULT UnkeyAllTrackEvents(UINT track) = 0;
    virtual HRESULT CloneAnimationController(UINT maxNumAnimationOutputs, UINT maxNumAnimationSets, UINT maxNumTracks,
                                             UINT maxNumEvents, ID3DXAnimationController** animController) = 0;
};

HRESULT D3DXCreateAnimationController(UINT maxNumAnimationOutputs, UINT maxNumAnimationSets, UINT maxNumTracks,
                                      UINT maxNumEvents, ID3DXAnimationController** animController);

// .x files. Only the text form is read; a binary or compressed file fails to load with a message.
HRESULT D3DXLoadMeshFromXA(LPCSTR filename, DWORD options, IDirect3DDevice9* device, ID3DXBuffer** adjacency,
                           ID3DXBuffer** materials, ID3DXBuffer** effectInstances, DWORD* numMaterials,
                           ID3DXMesh** mesh);
HRESULT D3DXLoadMeshFromXInMemory(const void* memory, DWORD sizeOfMemory, DWORD options, IDirect3DDevice9* device,
                                  ID3DXBuffer** adjacency, ID3DXBuffer** materials, ID3DXBuffer** effectInstances,
                                  DWORD* numMaterials, ID3DXMesh** mesh);
// Without animation sets in the file the controller comes back null.
HRESULT D3DXLoadMeshHierarchyFromXA(LPCSTR filename, DWORD meshOptions, IDirect3DDevice9* device,
                                    ID3DXAllocateHierarchy* alloc, ID3DXLoadUserData* userDataLoader,
                                    D3DXFRAME** frameHierarchy, ID3DXAnimationController** animController);
HRESULT D3DXLoadMeshHierarchyFromXInMemory(const void* memory, DWORD sizeOfMemory, DWORD meshOptions,
                                           IDirect3DDevice9* device, ID3DXAllocateHierarchy* alloc,
                                           ID3DXLoadUserData* userDataLoader, D3DXFRAME** frameHierarchy,
                                           ID3DXAnimationController** animController);
#define D3DXLoadMeshFromX D3DXLoadMeshFromXA
#define D3DXLoadMeshHierarchyFromX D3DXLoadMeshHierarchyFromXA

HRESULT D3DXFrameDestroy(D3DXFRAME* frameRoot, ID3DXAllocateHierarchy* alloc);
D3DXFRAME* D3DXFrameFind(const D3DXFRAME* frameRoot, LPCSTR name);

typedef ID3DXMesh* LPD3DXMESH;
typedef ID3DXSkinInfo* LPD3DXSKININFO;
typedef ID3DXAnimationController* LPD3DXANIMATIONCONTROLLER;
typedef ID3DXAnimationSet* LPD3DXANIMATIONSET;
