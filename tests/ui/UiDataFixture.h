#pragma once
// Widgets on the null device reading a small data tree of their own: tiny pictures (two frames where the
// name says so) and a short hover sound, so frames, fallbacks and queued sounds can be looked at.

#include "UiDeviceFixture.h"
#include "core/SoundQueue.h"
#include "sound/FSound.h"
#include "support/DataTree.h"
#include "ui/GuiButton.h"
#include "ui/GuiElement.h"
#include "win32/InputState.h"

#include <cstdint>
#include <memory>
#include <string>

class UiDataTest : public UiDeviceTest
{
protected:
    void SetUp() override
    {
        InitSound();
        SoundQueue::ResetForTests();
        tree = std::make_unique<DataTree>();
        Picture("Data/default.tga");
        UiDeviceTest::SetUp();
        InputState::Get().Reset();
        MouseOverManager::Get()->Init();
    }
    void TearDown() override
    {
        SoundQueue::ResetForTests();
        InputState::Get().Reset();
        UiDeviceTest::TearDown();
        tree.reset();
    }

    // A 2 x 2 uncompressed 32-bit TGA.
    void Picture(const std::string& relative)
    {
        std::string tga(18, '\0');
        tga[2] = 2;
        tga[12] = 2;
        tga[14] = 2;
        tga[16] = 32;
        tga[17] = 0x28;
        tga += std::string(16, '\x7f');
        tree->Write(relative, tga);
    }

    // A short 16-bit stereo WAV.
    void Sound(const std::string& relative)
    {
        std::string wav = "RIFF";
        auto put = [&wav](uint32_t value, int bytes) {
            for (int i = 0; i < bytes; ++i)
                wav += static_cast<char>((value >> (8 * i)) & 0xFF);
        };
        const uint32_t dataBytes = 441 * 4;
        put(36 + dataBytes, 4);
        wav += "WAVEfmt ";
        put(16, 4);
        put(1, 2);
        put(2, 2);
        put(44100, 4);
        put(44100 * 4, 4);
        put(4, 2);
        put(16, 2);
        wav += "data";
        put(dataBytes, 4);
        wav += std::string(dataBytes, '\0');
        tree->Write(relative, wav);
    }

    static void Frame(float seconds) { DataManager::Get()->AdvanceTime(seconds); }
    static void Pointer(int x, int y) { MouseOverManager::Get()->MovePointer(x, y); }
    static void LeftButton(bool down) { InputState::Get().InjectButton(0, down); }

    std::unique_ptr<DataTree> tree;
};
