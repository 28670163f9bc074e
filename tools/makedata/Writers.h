#pragma once
// Each writer puts one family of the default Data tree below the given root (the directory the game
// runs from). Every writer is deterministic: the same tree, byte for byte, on every run.

#include <filesystem>

void WriteDirectories(const std::filesystem::path& root);
void WriteDefinitions(const std::filesystem::path& root);
void WriteTextures(const std::filesystem::path& root);
void WriteSounds(const std::filesystem::path& root);
// The music tracks; called by WriteSounds.
void WriteMusic(const std::filesystem::path& root);
void WriteEffects(const std::filesystem::path& root);
// The class models with their textures and animation files.
void WriteModels(const std::filesystem::path& root);
// The static level meshes and the glow meshes, with their textures.
void WriteStaticMeshes(const std::filesystem::path& root);
