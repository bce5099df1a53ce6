// Runs the scoreboard engine over any values of a board's settings and any message text: a few
// periods of results, paging, hold, time and message renders end, and no period writes more than a
// board's buffer allows.
#include <unistd.h>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "ports/KStreamFactory.h"
#include "scoreboards/VScoreboards.h"
#include "scoring/EventRecord.h"
#include "settings/KDefaultSettings.h"
#include "settings/KRegistry.h"

namespace {

constexpr char kScript[] =
    ";;Initialization\r\n0I\r\n;;TimeOfDay\r\n1T%s\r\n;;TimeUpdate\r\n1R%s\r\n"
    ";;MessageHeader\r\n0<\r\n;;Message\r\n1%s\r\n;;MessageTrailer\r\n0>\r\n"
    ";;ResultsHeader\r\n\\13\\08%s\r\n;;Results\r\n1%s 3%s 5%s 6%s\r\n;;Results[1]\r\n\\14\\10%s\r\n"
    ";;ResultsTrailer\r\n0E\r\n";

size_t g_written = 0;

class CountingPort : public KStream {
public:
    bool IsMine(int code) const override { return code == 0; }
    std::unique_ptr<KStream> Clone() const override { return std::make_unique<CountingPort>(); }
    bool Open(KStringView) override { return true; }
    bool IsOpen() override { return true; }
    bool IsWriteReady() override { return true; }
    void Write(const uint8_t*, size_t count) override { g_written += count; }
    void Flush() override {}
};

struct Fixture {
    Fixture() {
        folder =
            std::filesystem::temp_directory_path() / ("kestrun-fuzz-board-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        std::ofstream(folder / "fuzz.vss", std::ios::binary) << kScript;
        prototypes.Register(std::make_unique<CountingPort>());
        for (int i = 0; i < 12; ++i) {
            ResultRecord* r = event.Results().Add();
            r->SetPlace(i + 1);
            r->SetId(ToKString(i));
            if (i < 9)
                r->SetTime(TimeValue(TickCount::FromInt64((60 + i) * kTicksSecond.Value()), kTicksHundredth));
            ResultRecord* team = event.Standings().Add();
            team->SetPoints(i * 7);
            team->SetNumMembers(i % 7);
        }
    }
    ~Fixture() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    std::filesystem::path folder;
    KStreamPrototypes prototypes;
    EventRecord event;
};

constexpr const char16_t* kKeys[] = {u"PageSize",       u"PageMax",     u"PageMask",   u"PageTime",
                                     u"PageMode",       u"ResultsMode", u"Filter",     u"UpdateHold",
                                     u"MinUpdateDelay", u"TimeMode",    u"TimeAdjust", u"CharMode"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Fixture fixture;
    KRegistry settings;
    LoadDefaults(settings);
    KRGroup& board = *settings.FindGroup(u"\\Scoreboards\\1\\");
    board.FindString(u"Script")->SetValue(u"fuzz.vss");
    board.FindString(u"SerialPort")->SetValue(u"0");
    for (const char16_t* key : kKeys) {
        int32_t value = 0;
        const size_t n = std::min(size, sizeof value);
        std::memcpy(&value, data, n);
        data += n;
        size -= n;
        board.FindInt(key)->SetValue(value);
    }
    int32_t optimize = 1;
    std::memcpy(&optimize, data, std::min(size, sizeof optimize));
    settings.FindInt(u"\\Scoreboards\\Optimize")->SetValue(optimize % 3);
    settings.Define(u"\\Scoreboards\\PortBuffer:Int=4096");
    VScoreboards boards(settings, fixture.folder, fixture.prototypes,
                        [] { return int64_t{13 * 3600 * 1000}; });
    boards.AttachEvent(&fixture.event);
    boards.SetMessageText(FromLatin1(std::string_view(reinterpret_cast<const char*>(data), size)));
    uint32_t now = 0;
    for (int period = 0; period < 40; ++period) {
        if (period == 3) boards.RequestInitialize();
        if (period == 5) boards.SendMessage();
        if (period == 7) boards.Refresh();
        if (period == 9) boards.SetShowTimeOfDay(true);
        if (period == 11) boards.SetShowTimeOfDay(false);
        g_written = 0;
        boards.RunPeriod(now += 997);
        // Each line is at most 1024 characters of up to 3 bytes, and a page at most 1000 lines plus
        // its header and trailer; collected updates stay within the buffer.
        if (g_written > 1002 * 1024 * 3 + 4096 * 3) std::abort();
    }
    return 0;
}
