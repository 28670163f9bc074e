#include "win32/PathResolver.h"
#include "win32/Win32.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr double SLOWDOWN = 5.0; // instrumented builds are slower by this much at most
#else
constexpr double SLOWDOWN = 1.0;
#endif
// Timings of work done mostly in our own code say something only where that code is optimised and uninstrumented.
#if defined(__OPTIMIZE__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
constexpr bool OPTIMISED = true;
#else
constexpr bool OPTIMISED = false;
#endif

void Touch(const fs::path& path, const std::string& content = "x")
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

// A file system stamps directories with a coarse clock, so a directory can change without its time moving. The
// tests pin a directory's time to show that what the game writes is found without relying on it.
void PinTime(const fs::path& directory)
{
    fs::last_write_time(directory, fs::file_time_type::clock::now() - std::chrono::hours(24 * 365));
}

class FilesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        old_ = fs::current_path();
        root_ = fs::temp_directory_path() / ("varnholt-files-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        Touch(root_ / "Data" / "Textures" / "lightbolt.bmp", "BM");
        Touch(root_ / "Data" / "Config Files" / "Spells" / "Fireball.txt", "a");
        Touch(root_ / "Data" / "Config Files" / "Spells" / "heal.TXT", "bb");
        Touch(root_ / "Data" / "Config Files" / "Spells" / "Bolt.txt", "ccc");
        Touch(root_ / "Data" / "Config Files" / "Spells" / "notes.md", "d");
        fs::create_directories(root_ / "Data" / "Screenshots");
        fs::current_path(root_);
    }
    void TearDown() override
    {
        fs::current_path(old_);
        fs::remove_all(root_);
    }

    // The absolute form the game builds: the current directory joined with a backslashed tail.
    std::string Absolute(const std::string& tail) const
    {
        char buffer[MAX_PATH];
        const DWORD length = GetCurrentDirectoryA(MAX_PATH, buffer);
        EXPECT_GT(length, 0u);
        return std::string(buffer, length) + tail;
    }

    fs::path old_;
    fs::path root_;
};

TEST_F(FilesTest, CurrentDirectoryReportsLengthOrTheRoomNeeded)
{
    char buffer[MAX_PATH];
    const DWORD length = GetCurrentDirectoryA(MAX_PATH, buffer);
    EXPECT_EQ(std::string(buffer), root_.string());
    EXPECT_EQ(length, root_.string().size());
    char small[4] = {'k', 'e', 'e', 'p'};
    EXPECT_EQ(GetCurrentDirectoryA(sizeof(small), small), length + 1);
    EXPECT_EQ(small[0], 'k');
}

TEST_F(FilesTest, ResolverMapsBackslashesAndLetterCase)
{
    EXPECT_EQ(PathResolver::Resolve("Data\\TEXTURES\\lightBolt.BMP"), "Data/Textures/lightbolt.bmp");
    EXPECT_EQ(PathResolver::Resolve(Absolute("\\data\\textures\\LIGHTBOLT.bmp")),
              (root_ / "Data" / "Textures" / "lightbolt.bmp").string());
    EXPECT_TRUE(PathResolver::Exists("data\\config files\\spells\\FIREBALL.TXT"));
    FILE* file = PathResolver::Open("DATA\\Textures\\LightBolt.bmp", "rb");
    ASSERT_NE(file, nullptr);
    char magic[2] = {};
    EXPECT_EQ(std::fread(magic, 1, 2, file), 2u);
    std::fclose(file);
    EXPECT_EQ(std::string(magic, 2), "BM");
}

TEST_F(FilesTest, ExactNameWinsOverOneThatDiffersInCase)
{
    Touch(root_ / "Data" / "Textures" / "LightBolt.bmp", "other");
    EXPECT_EQ(PathResolver::Resolve("Data\\Textures\\LightBolt.bmp"), "Data/Textures/LightBolt.bmp");
    EXPECT_EQ(PathResolver::Resolve("Data\\Textures\\lightbolt.bmp"), "Data/Textures/lightbolt.bmp");
}

TEST_F(FilesTest, MissingPathKeepsTheMappedPrefixAndTheRestAsGiven)
{
    EXPECT_EQ(PathResolver::Resolve("data\\textures\\Missing.bmp"), "Data/Textures/Missing.bmp");
    EXPECT_EQ(PathResolver::Resolve("data\\NoSuchDir\\Sub\\File.x"), "Data/NoSuchDir/Sub/File.x");
    EXPECT_FALSE(PathResolver::Exists("data\\textures\\Missing.bmp"));
    EXPECT_EQ(PathResolver::Open("data\\NoSuchDir\\File.x", "rb"), nullptr);
    EXPECT_EQ(PathResolver::Resolve(""), "");
    // A bare name that is nowhere: no separator to look behind.
    EXPECT_EQ(PathResolver::Resolve("NoSuchModel.x"), "NoSuchModel.x");
    EXPECT_FALSE(PathResolver::Exists("NoSuchModel.x"));
}

TEST_F(FilesTest, FileWrittenThroughOpenIsFoundAtOnce)
{
    const fs::path shots = root_ / "Data" / "Screenshots";
    PinTime(shots);
    const auto pinned = fs::last_write_time(shots);
    // Look first so the directory's listing is known, then write into it.
    EXPECT_FALSE(PathResolver::Exists("Data\\Screenshots\\Image0.bmp"));
    FILE* file = PathResolver::Open("data\\screenshots\\Image0.bmp", "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("BM", file);
    std::fclose(file);
    fs::last_write_time(shots, pinned);
    EXPECT_TRUE(fs::exists(shots / "Image0.bmp"));
    EXPECT_TRUE(PathResolver::Exists("Data\\Screenshots\\IMAGE0.BMP"));
    EXPECT_EQ(PathResolver::Resolve("DATA\\SCREENSHOTS\\image0.bmp"), "Data/Screenshots/Image0.bmp");
}

TEST_F(FilesTest, FileMadeBehindTheResolversBackIsFound)
{
    const fs::path textures = root_ / "Data" / "Textures";
    PinTime(textures);
    const auto pinned = fs::last_write_time(textures);
    EXPECT_FALSE(PathResolver::Exists("Data\\Textures\\NEW.tga"));
    // Made by other means: the directory's new time shows it.
    Touch(textures / "new.tga");
    EXPECT_EQ(PathResolver::Resolve("Data\\Textures\\NEW.tga"), "Data/Textures/new.tga");
    // Made within the same tick of the directory's clock: Invalidate tells the resolver.
    fs::last_write_time(textures, pinned);
    PathResolver::Exists("Data\\Textures\\other.tga");
    Touch(textures / "Other.tga");
    fs::last_write_time(textures, pinned);
    PathResolver::Invalidate("Data\\Textures\\other.tga");
    EXPECT_EQ(PathResolver::Resolve("Data\\Textures\\other.tga"), "Data/Textures/Other.tga");
    // A directory made later under a path that was missing is found too.
    EXPECT_FALSE(PathResolver::Exists("Data\\Sound\\Music\\theme.wav"));
    Touch(root_ / "Data" / "Sound" / "Music" / "Theme.wav");
    EXPECT_EQ(PathResolver::Resolve("data\\sound\\music\\theme.wav"), "Data/Sound/Music/Theme.wav");
}

TEST_F(FilesTest, AbsolutePathsFollowChangesMadeByAnyMeans)
{
    // The directory's time stamp is pinned around every change, so only the change notices can tell.
    const fs::path textures = root_ / "Data" / "Textures";
    PinTime(textures);
    const auto pinned = fs::last_write_time(textures);
    const std::string lightMap = Absolute("\\Data\\Textures\\LIGHTMAP.tga");
    EXPECT_FALSE(PathResolver::Exists(lightMap));
    std::ofstream(textures / "lightmap.tga", std::ios::binary) << "tga";
    fs::last_write_time(textures, pinned);
    EXPECT_TRUE(PathResolver::Exists(lightMap));
    EXPECT_EQ(PathResolver::Resolve(lightMap), (textures / "lightmap.tga").string());

    fs::remove(textures / "lightmap.tga");
    fs::last_write_time(textures, pinned);
    EXPECT_FALSE(PathResolver::Exists(lightMap));

    // A directory on the way moved aside and made again: the new one is looked in.
    const std::string bolt = Absolute("\\data\\textures\\LIGHTBOLT.BMP");
    EXPECT_TRUE(PathResolver::Exists(bolt));
    fs::rename(textures, root_ / "Data" / "Old");
    EXPECT_FALSE(PathResolver::Exists(bolt));
    Touch(root_ / "Data" / "textures" / "LightBolt.bmp");
    EXPECT_EQ(PathResolver::Resolve(bolt), (root_ / "Data" / "textures" / "LightBolt.bmp").string());
}

TEST_F(FilesTest, LocateFileFindsTheFirstPrefixHoldingAFile)
{
    Touch(root_ / "Data" / "Config Files" / "Spells" / "lightbolt.bmp", "second");
    fs::create_directories(root_ / "Data" / "Config Files" / "Humans" / "Heal.txt");
    const std::vector<std::string> prefixes = {
        "",
        Absolute("\\Data\\NoSuchDirectory\\"),
        Absolute("\\data\\config files\\humans\\"),
        Absolute("\\DATA\\Textures\\"),
        Absolute("\\Data\\Config Files\\Spells\\"),
    };
    size_t index = 99;
    std::string path;
    ASSERT_TRUE(PathResolver::LocateFile(prefixes, "LightBolt.BMP", index, path));
    EXPECT_EQ(index, 3u);
    EXPECT_EQ(path, (root_ / "Data" / "Textures" / "lightbolt.bmp").string());
    // From the fourth prefix on, the spells directory is the first to hold it.
    ASSERT_TRUE(PathResolver::LocateFile(std::span(prefixes).subspan(4), "lightbolt.bmp", index, path));
    EXPECT_EQ(index, 0u);
    // A directory of that name is not a file: the humans directory is passed over for the spells one.
    ASSERT_TRUE(PathResolver::LocateFile(prefixes, "heal.txt", index, path));
    EXPECT_EQ(index, 4u);
    EXPECT_EQ(path, (root_ / "Data" / "Config Files" / "Spells" / "heal.TXT").string());
    // The empty prefix takes a relative name against the working directory.
    ASSERT_TRUE(PathResolver::LocateFile(prefixes, "data\\textures\\LIGHTBOLT.bmp", index, path));
    EXPECT_EQ(index, 0u);
    EXPECT_EQ(path, "Data/Textures/lightbolt.bmp");

    index = 99;
    path = "kept";
    EXPECT_FALSE(PathResolver::LocateFile(prefixes, "absent.tga", index, path));
    EXPECT_FALSE(PathResolver::LocateFile(prefixes, "", index, path));
    EXPECT_EQ(index, 99u);
    EXPECT_EQ(path, "kept");
}

TEST_F(FilesTest, ResolvesFromManyThreadsAtOnce)
{
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&wrong] {
            for (int i = 0; i < 500; ++i) {
                if (PathResolver::Resolve("DATA\\textures\\LIGHTBOLT.BMP") != "Data/Textures/lightbolt.bmp") {
                    ++wrong;
                }
                if (PathResolver::Exists("Data\\Textures\\absent" + std::to_string(i))) {
                    ++wrong;
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong.load(), 0);
}

TEST_F(FilesTest, MissingNamesResolveQuickly)
{
    // The data tree was written before the game starts, not a moment ago.
    PinTime(root_ / "Data" / "Config Files" / "Spells");
    const std::string prefix = Absolute("\\Data\\Config Files\\Spells\\");
    // Warm the listing, then time lookups of names that are not there, as the data manager's search makes them.
    PathResolver::Exists(prefix + "warm.txt");
    // The best of several batches: a batch that another process pre-empted says nothing about the lookup.
    constexpr int BATCHES = 5;
    constexpr int COUNT = 400;
    int found = 0;
    double micros = 0.0;
    for (int batch = 0; batch < BATCHES; ++batch) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < COUNT; ++i) {
            found += PathResolver::Exists(prefix + "absent" + std::to_string(batch * COUNT + i) + ".txt") ? 1 : 0;
        }
        const double batchMicros =
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count() / COUNT;
        micros = batch == 0 ? batchMicros : std::min(micros, batchMicros);
    }
    EXPECT_EQ(found, 0);
    EXPECT_LT(micros,
              200.0 * SLOWDOWN); // a scan of the disk per miss costs milliseconds; a busy machine, tens of microseconds
    RecordProperty("microseconds_per_lookup", std::to_string(micros));
}

TEST_F(FilesTest, LocatingAcrossFiftyDirectoriesStaysQuick)
{
    // As the data manager asks: one name, tried in fifty directories that have not changed for a while.
    std::vector<std::string> prefixes;
    for (int i = 0; i < 50; ++i) {
        const fs::path directory = root_ / "Data" / "Many" / ("Directory " + std::to_string(i));
        fs::create_directories(directory);
        PinTime(directory);
        prefixes.push_back(Absolute("\\Data\\Many\\Directory " + std::to_string(i) + "\\"));
    }
    Touch(root_ / "Data" / "Many" / "Directory 49" / "last.txt");
    PinTime(root_ / "Data" / "Many" / "Directory 49");
    size_t index = 0;
    std::string path;
    ASSERT_TRUE(PathResolver::LocateFile(prefixes, "last.txt", index, path));
    EXPECT_EQ(index, 49u);
    constexpr int COUNT = 500;
    int found = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < COUNT; ++i) {
        found += PathResolver::LocateFile(prefixes, "absent.txt", index, path) ? 1 : 0;
        found += PathResolver::LocateFile(prefixes, "LAST.txt", index, path) ? 1 : 0;
    }
    const double micros =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count() / (2 * COUNT);
    EXPECT_EQ(found, COUNT);
    if (OPTIMISED) {
        EXPECT_LT(micros, 200.0); // a scan of the disk per lookup costs milliseconds
    }
    RecordProperty("microseconds_per_lookup", std::to_string(micros));
}

TEST_F(FilesTest, FindFileListsMatchesSortedWithoutRegardToCase)
{
    WIN32_FIND_DATAA data{};
    HANDLE find = FindFirstFileA(Absolute("\\Data\\Config Files\\Spells\\*.txt").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    std::vector<std::string> names{data.cFileName};
    EXPECT_EQ(data.nFileSizeLow, 3u); // Bolt.txt comes first
    EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_NORMAL);
    while (FindNextFileA(find, &data)) {
        names.push_back(data.cFileName);
    }
    EXPECT_TRUE(FindClose(find));
    EXPECT_FALSE(FindClose(find));
    EXPECT_EQ(names, (std::vector<std::string>{"Bolt.txt", "Fireball.txt", "heal.TXT"}));
}

TEST_F(FilesTest, FindFileWildcardsAndFailures)
{
    WIN32_FIND_DATAA data{};
    HANDLE find = FindFirstFileA("data/config files/SPELLS/?ire*", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, "Fireball.txt");
    EXPECT_FALSE(FindNextFileA(find, &data));
    FindClose(find);

    find = FindFirstFileA("Data\\*.*", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    std::vector<std::string> names{data.cFileName};
    while (FindNextFileA(find, &data)) {
        names.push_back(data.cFileName);
    }
    FindClose(find);
    EXPECT_EQ(names, (std::vector<std::string>{"Config Files", "Screenshots", "Textures"}));

    EXPECT_EQ(FindFirstFileA("Data\\Config Files\\Spells\\*.dds", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(FindFirstFileA("NoDir\\*.txt", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(FindFirstFileA(nullptr, &data), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(FindNextFileA(INVALID_HANDLE_VALUE, &data));
}

} // namespace
