#pragma once
// Each writer puts one family of the default Data tree below the given root (the directory the game
// runs from). Every writer is deterministic: the same tree, byte for byte, on every run.

#include <filesystem>

void WriteDirectories(const std::filesystem::path& root);
void WriteDefinitions(const std::filesystem::path& root);
void WriteTextures(const std::filesystem::path& root);
void WriteHexTextures(const std::filesystem::path& root);
void WriteSounds(const std::filesystem::path& root);
// The music tracks; called by WriteSounds.
void WriteMusic(const std::filesystem::path& root);
void WriteEffects(const std::filesystem::path& root);
// The intro video, Motion JPEG in an AVI file.
void WriteVideo(const std::filesystem::path& root);
// Lets go of the caches Pango, cairo and fontconfig keep for the whole run, so that a leak checker sees only
// our own allocations. Called once, after every writer.
void ReleaseTextRendering();
// The particle emitter files the game and its spells name.
void WriteEmitters(const std::filesystem::path& root);
// Particle sprites, bolt beams, ground decals and the bars and markers over units.
void WriteEffectTextures(const std::filesystem::path& root);
// The class models with their textures and animation files.
void WriteModels(const std::filesystem::path& root);
// The static level meshes and the glow meshes, with their textures.
void WriteStaticMeshes(const std::filesystem::path& root);
void WriteTerrainEffect(const std::filesystem::path& root);
// The three battle levels, their ground textures, the sky and the stars.
void WriteLevels(const std::filesystem::path& root);
// The interface's common windows: description box, ability-row pictures, loading screens and help pages.
void WriteUiTextures(const std::filesystem::path& root);
// The battle HUD's frame, bars, action buttons, highlight and main-menu button.
void WriteHudTextures(const std::filesystem::path& root);
// The window behind the turn banner and the two sides' pennants.
void WriteTurnTextures(const std::filesystem::path& root);
// The front end's pictures: main menu, options, end of game, the deployment screen and the class icons.
void WriteMenuTextures(const std::filesystem::path& root);
