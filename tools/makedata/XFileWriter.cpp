#include "XFileWriter.h"

#include "DataWriter.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <stdexcept>

XMatrix XIdentity()
{
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

XMatrix XTranslation(float x, float y, float z)
{
    XMatrix m = XIdentity();
    m[12] = x;
    m[13] = y;
    m[14] = z;
    return m;
}

namespace {

class TextOut
{
public:
    // Six decimals, with "-0.000000" written as "0.000000" so that tiny negative rounding never makes two
    // equal models differ.
    void Number(float value)
    {
        char buffer[48];
        std::snprintf(buffer, sizeof buffer, "%.6f", static_cast<double>(value));
        if (std::string(buffer) == "-0.000000")
            text += "0.000000";
        else
            text += buffer;
    }
    void Raw(const std::string& s) { text += s; }
    void Line(int depth, const std::string& s)
    {
        text.append(static_cast<size_t>(depth), ' ');
        text += s;
        text += '\n';
    }
    void Indent(int depth) { text.append(static_cast<size_t>(depth), ' '); }

    std::string text;
};

// The separator after item i of n in an array of structures: "," between items, ";" after the last.
const char* Separator(size_t i, size_t n)
{
    return i + 1 < n ? "," : ";";
}

void WriteMatrix(TextOut& out, int depth, const XMatrix& m)
{
    out.Indent(depth);
    for (int i = 0; i < 16; ++i) {
        out.Number(m[static_cast<size_t>(i)]);
        out.Raw(i < 15 ? "," : ";;\n");
    }
}

void WriteVectors(TextOut& out, int depth, const std::vector<XVector>& vectors)
{
    out.Line(depth, std::to_string(vectors.size()) + ";");
    for (size_t i = 0; i < vectors.size(); ++i) {
        out.Indent(depth);
        out.Number(vectors[i].x);
        out.Raw(";");
        out.Number(vectors[i].y);
        out.Raw(";");
        out.Number(vectors[i].z);
        out.Raw(";");
        out.Raw(Separator(i, vectors.size()));
        out.Raw("\n");
    }
}

void WriteFaces(TextOut& out, int depth, const std::vector<std::array<uint32_t, 3>>& faces)
{
    out.Line(depth, std::to_string(faces.size()) + ";");
    for (size_t i = 0; i < faces.size(); ++i) {
        out.Line(depth, "3;" + std::to_string(faces[i][0]) + "," + std::to_string(faces[i][1]) + "," +
                            std::to_string(faces[i][2]) + ";" + Separator(i, faces.size()));
    }
}

void WriteMaterial(TextOut& out, int depth, const XMaterial& material)
{
    out.Line(depth, "Material {");
    out.Indent(depth + 1);
    for (float c : material.diffuse) {
        out.Number(c);
        out.Raw(";");
    }
    out.Raw(";\n");
    out.Indent(depth + 1);
    out.Number(material.power);
    out.Raw(";\n");
    for (const auto* colour : {&material.specular, &material.emissive}) {
        out.Indent(depth + 1);
        for (float c : *colour) {
            out.Number(c);
            out.Raw(";");
        }
        out.Raw(";\n");
    }
    if (!material.texture.empty()) {
        out.Line(depth + 1, "TextureFilename {");
        out.Line(depth + 2, "\"" + material.texture + "\";");
        out.Line(depth + 1, "}");
    }
    out.Line(depth, "}");
}

void WriteMesh(TextOut& out, int depth, const XMesh& mesh)
{
    if (mesh.normals.size() != mesh.positions.size() || mesh.uvs.size() != mesh.positions.size() ||
        mesh.faceMaterials.size() != mesh.faces.size() || mesh.materials.empty())
        throw std::runtime_error("inconsistent mesh " + mesh.name);
    out.Line(depth, "Mesh " + mesh.name + " {");
    WriteVectors(out, depth + 1, mesh.positions);
    WriteFaces(out, depth + 1, mesh.faces);

    out.Line(depth + 1, "MeshNormals {");
    WriteVectors(out, depth + 2, mesh.normals);
    WriteFaces(out, depth + 2, mesh.faces);
    out.Line(depth + 1, "}");

    out.Line(depth + 1, "MeshTextureCoords {");
    out.Line(depth + 2, std::to_string(mesh.uvs.size()) + ";");
    for (size_t i = 0; i < mesh.uvs.size(); ++i) {
        out.Indent(depth + 2);
        out.Number(mesh.uvs[i][0]);
        out.Raw(";");
        out.Number(mesh.uvs[i][1]);
        out.Raw(";");
        out.Raw(Separator(i, mesh.uvs.size()));
        out.Raw("\n");
    }
    out.Line(depth + 1, "}");

    out.Line(depth + 1, "MeshMaterialList {");
    out.Line(depth + 2, std::to_string(mesh.materials.size()) + ";");
    out.Line(depth + 2, std::to_string(mesh.faceMaterials.size()) + ";");
    for (size_t i = 0; i < mesh.faceMaterials.size(); ++i)
        out.Line(depth + 2, std::to_string(mesh.faceMaterials[i]) + Separator(i, mesh.faceMaterials.size()));
    for (const XMaterial& material : mesh.materials)
        WriteMaterial(out, depth + 2, material);
    out.Line(depth + 1, "}");

    if (!mesh.skin.empty()) {
        out.Line(depth + 1, "XSkinMeshHeader {");
        out.Line(depth + 2, std::to_string(mesh.maxWeightsPerVertex) + ";");
        out.Line(depth + 2, std::to_string(mesh.maxWeightsPerFace) + ";");
        out.Line(depth + 2, std::to_string(mesh.skin.size()) + ";");
        out.Line(depth + 1, "}");
        for (const XSkinWeights& bone : mesh.skin) {
            if (bone.vertices.size() != bone.weights.size())
                throw std::runtime_error("inconsistent skin weights for " + bone.bone);
            out.Line(depth + 1, "SkinWeights {");
            out.Line(depth + 2, "\"" + bone.bone + "\";");
            out.Line(depth + 2, std::to_string(bone.vertices.size()) + ";");
            for (size_t i = 0; i < bone.vertices.size(); ++i)
                out.Line(depth + 2, std::to_string(bone.vertices[i]) + Separator(i, bone.vertices.size()));
            for (size_t i = 0; i < bone.weights.size(); ++i) {
                out.Indent(depth + 2);
                out.Number(bone.weights[i]);
                out.Raw(Separator(i, bone.weights.size()));
                out.Raw("\n");
            }
            WriteMatrix(out, depth + 2, bone.offset);
            out.Line(depth + 1, "}");
        }
    }
    out.Line(depth, "}");
}

void WriteFrame(TextOut& out, int depth, const XFrame& frame)
{
    out.Line(depth, "Frame " + frame.name + " {");
    out.Line(depth + 1, "FrameTransformMatrix {");
    WriteMatrix(out, depth + 2, frame.transform);
    out.Line(depth + 1, "}");
    for (const XFrame& child : frame.children)
        WriteFrame(out, depth + 1, child);
    for (const XMesh& mesh : frame.meshes)
        WriteMesh(out, depth + 1, mesh);
    out.Line(depth, "}");
}

void WriteAnimation(TextOut& out, int depth, const XAnimation& animation)
{
    const size_t n = animation.times.size();
    if (animation.rotations.size() != n || animation.positions.size() != n || n == 0)
        throw std::runtime_error("inconsistent keys for " + animation.frame);
    out.Line(depth, "Animation {");
    out.Line(depth + 1, "{" + animation.frame + "}");
    // Type 0: rotation quaternions (w, x, y, z).
    out.Line(depth + 1, "AnimationKey {");
    out.Line(depth + 2, "0;");
    out.Line(depth + 2, std::to_string(n) + ";");
    for (size_t i = 0; i < n; ++i) {
        const XQuaternion& q = animation.rotations[i];
        out.Indent(depth + 2);
        out.Raw(std::to_string(animation.times[i]) + ";4;");
        out.Number(q.w);
        out.Raw(",");
        out.Number(q.x);
        out.Raw(",");
        out.Number(q.y);
        out.Raw(",");
        out.Number(q.z);
        out.Raw(";;");
        out.Raw(i + 1 < n ? "," : ";");
        out.Raw("\n");
    }
    out.Line(depth + 1, "}");
    // Type 2: positions.
    out.Line(depth + 1, "AnimationKey {");
    out.Line(depth + 2, "2;");
    out.Line(depth + 2, std::to_string(n) + ";");
    for (size_t i = 0; i < n; ++i) {
        const XVector& p = animation.positions[i];
        out.Indent(depth + 2);
        out.Raw(std::to_string(animation.times[i]) + ";3;");
        out.Number(p.x);
        out.Raw(",");
        out.Number(p.y);
        out.Raw(",");
        out.Number(p.z);
        out.Raw(";;");
        out.Raw(i + 1 < n ? "," : ";");
        out.Raw("\n");
    }
    out.Line(depth + 1, "}");
    out.Line(depth, "}");
}

} // namespace

std::string XFileWriter::Text(const XFile& file)
{
    TextOut out;
    out.Line(0, "xof 0303txt 0032");
    out.Line(0, "");
    for (const XFrame& frame : file.frames)
        WriteFrame(out, 0, frame);
    for (const XMesh& mesh : file.meshes)
        WriteMesh(out, 0, mesh);
    if (!file.sets.empty()) {
        out.Line(0, "AnimTicksPerSecond {");
        out.Line(1, std::to_string(file.ticksPerSecond) + ";");
        out.Line(0, "}");
        for (const XAnimationSet& set : file.sets) {
            out.Line(0, "AnimationSet " + set.name + " {");
            for (const XAnimation& animation : set.animations)
                WriteAnimation(out, 1, animation);
            out.Line(0, "}");
        }
    }
    return out.text;
}

void XFileWriter::Write(const std::filesystem::path& path, const XFile& file)
{
    const std::string text = Text(file);
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}
