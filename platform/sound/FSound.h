#pragma once
// Our own declarations of the FSOUND sound library interface the game plays its effects and music through.
// Implemented over SDL2_mixer: every sample is decoded into memory when it is loaded (WAV and MP3) and mixed in
// software at 44100 Hz, 16-bit stereo. Without an audio device the layer goes silent but keeps working: loads
// succeed, channels play (to nowhere) and report that they are playing.

// A loaded sample. Opaque: only the layer looks inside.
struct FSOUND_SAMPLE;

// Channel and sample-slot selectors.
constexpr int FSOUND_FREE = -1;
constexpr int FSOUND_UNMANAGED = -2;
constexpr int FSOUND_ALL = -3;

// Sample modes (bit flags). Only the loop bits change how a sample plays; the rest describe the data and are
// kept for the sample's owner to read back.
constexpr unsigned int FSOUND_LOOP_OFF = 0x00000001;
constexpr unsigned int FSOUND_LOOP_NORMAL = 0x00000002;
constexpr unsigned int FSOUND_LOOP_BIDI = 0x00000004;
constexpr unsigned int FSOUND_8BITS = 0x00000008;
constexpr unsigned int FSOUND_16BITS = 0x00000010;
constexpr unsigned int FSOUND_MONO = 0x00000020;
constexpr unsigned int FSOUND_STEREO = 0x00000040;
constexpr unsigned int FSOUND_HW3D = 0x00001000;
constexpr unsigned int FSOUND_2D = 0x00002000;
constexpr unsigned int FSOUND_HW2D = 0x00080000;

// Initialises the mixer with up to maxsoftwarechannels channels. TRUE (1) on success; a missing audio device is
// still success (the layer is then silent and says so once on stderr).
signed char FSOUND_Init(int mixrate, int maxsoftwarechannels, unsigned int flags);
// Stops every channel and closes the device. Loaded samples stay valid; FSOUND_Init may be called again.
void FSOUND_Close();
// Hardware voices: none, the layer mixes in software. Any out-parameter may be null.
signed char FSOUND_GetNumHWChannels(int* num2d, int* num3d, int* total);

// 3-D settings are kept but change nothing: the game plays every sound in 2-D.
void FSOUND_3D_SetDistanceFactor(float scale);
// channel: a channel index or FSOUND_ALL.
signed char FSOUND_3D_SetMinMaxDistance(int channel, float mindistance, float maxdistance);

// Loads and decodes a WAV or MP3 file (any path the game names: '\' and any letter case) into a sample in slot
// index (FSOUND_FREE: any free slot; an index in use frees the sample there first). offset and length must be 0
// (the whole file). Null when the file cannot be read or decoded. Works before FSOUND_Init.
FSOUND_SAMPLE* FSOUND_Sample_Load(int index, const char* name_or_data, unsigned int mode, int offset, int length);
// Sets the loop mode the sample plays with from now on (FSOUND_LOOP_NORMAL loops; 0 or FSOUND_LOOP_OFF not).
signed char FSOUND_Sample_SetMode(FSOUND_SAMPLE* sptr, unsigned int mode);
unsigned int FSOUND_Sample_GetMode(FSOUND_SAMPLE* sptr);
// Length in sample frames at the mixer's 44100 Hz; 0 for null.
unsigned int FSOUND_Sample_GetLength(FSOUND_SAMPLE* sptr);
// Stops every channel playing the sample and frees it. Null is ignored.
void FSOUND_Sample_Free(FSOUND_SAMPLE* sptr);

// Plays the sample on channel (FSOUND_FREE: any free channel). Returns the channel, or -1 when the sample is null
// or no channel is free.
int FSOUND_PlaySound(int channel, FSOUND_SAMPLE* sptr);
// channel: a channel index or FSOUND_ALL.
signed char FSOUND_StopSound(int channel);
signed char FSOUND_IsPlaying(int channel);
// The sample a channel is playing, or null.
FSOUND_SAMPLE* FSOUND_GetCurrentSample(int channel);
// Mixing runs on the device's own thread; this is kept for callers written against the per-frame update.
void FSOUND_Update();
