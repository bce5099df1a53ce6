#pragma once

// A scoreboard script (.vss): sections of numbered pages of lines, read from a file, and the
// interpreter that renders a page line by line through a host. The scoreboard derives from this
// class, so the nested types read VScoreboard::VSSSection, VSSPage and VSSLine there.
//
// Threads: not synchronised. The scoreboard's lock covers Load and Run.

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <utility>
#include <vector>

#include "foundation/KString.h"
#include "script/VCommandLanguage.h"
#include "script/VScriptHost.h"

class VScoreboardScript {
public:
    /// The section table's slots.
    enum Slot : int {
        kInitialization = 0,
        kTimeArmed,
        kTimeRunning,
        kTimePaused,
        kTimeStopped,
        kTimeGun,
        kTimeBreak,
        kTimeUpdate,
        kWind,
        kTimeOfDay,
        kStartListHeader,
        kStartListTrailer,
        kStartList,
        kStartedHeader,
        kStartedTrailer,
        kStarted,
        kResultsHeader,
        kResultsTrailer,
        kResults,
        kImage,
        kImageResultsHeader,
        kImageResultsTrailer,
        kImageResults,
        kMessageHeader,
        kMessageTrailer,
        kMessage,
        kSlotCount
    };

    /// Variable namespaces; a page takes the group of its section.
    static constexpr int kGroupInitialization = 16;
    static constexpr int kGroupClock = 17;
    static constexpr int kGroupWind = 18;
    static constexpr int kGroupHeader = 19;
    static constexpr int kGroupList = 20;
    static constexpr int kGroupMessageFrame = 21;
    static constexpr int kGroupMessage = 22;

    class VSSLine {
    public:
        explicit VSSLine(KStringView text) : m_text(text) {}
        /// As read, without the line end.
        const KString& Text() const { return m_text; }

    private:
        KString m_text;
    };

    class VSSPage {
    public:
        VSSPage(int32_t number, int group) : m_number(number), m_group(group) {}
        int32_t Number() const { return m_number; }
        int Group() const { return m_group; }
        const std::vector<VSSLine>& Lines() const { return m_lines; }
        void AddLine(KStringView text) { m_lines.emplace_back(text); }

    private:
        int32_t m_number;
        int m_group;
        std::vector<VSSLine> m_lines;
    };

    class VSSSection {
    public:
        const std::vector<VSSPage>& Pages() const { return m_pages; }
        /// The page with `number`, created (with `group`) and appended when there is none.
        VSSPage& PageNumbered(int32_t number, int group);
        bool HasLines() const;

    private:
        std::vector<VSSPage> m_pages;
    };

    /// The slot a section header names ("Result" is a second name of Results); -1 for none.
    static int SlotNamed(KStringView name);
    /// The variable group of a slot's pages.
    static int GroupOf(int slot);

    VScoreboardScript() = default;
    VScoreboardScript(const VScoreboardScript&) = delete;
    VScoreboardScript& operator=(const VScoreboardScript&) = delete;
    virtual ~VScoreboardScript() = default;

    /// Empties the table and reads the script file. A file that cannot be opened or read leaves the
    /// table empty and returns false. Registers are kept.
    bool Load(const std::filesystem::path& path);
    void Clear();

    /// The section of a slot, or null. After the fallbacks two slots may share one section.
    const VSSSection* Section(int slot) const;
    const VSSPage* FindPage(int slot, int32_t number) const;
    const VSSPage* FirstPage(int slot) const;
    /// A header's or trailer's page for list page `number`: that number's page, else the first.
    const VSSPage* PageOrFirst(int slot, int32_t number) const;

    /// Runs every line of `page`, handing each output line to `host`. A clock page (group 17) first
    /// applies the repeat rule and sets R0 to 0.
    void Run(const VSSPage& page, const VUpdateRecord& record, VScriptHost& host);

    VRegisters& Registers() { return m_registers; }
    const VRegisters& Registers() const { return m_registers; }

private:
    void ReadLine(const KString& line, VSSPage*& current);
    void ApplyFallbacks();
    void StartClockUpdate(const VUpdateRecord& record, VScriptHost& host);
    void RunLine(KStringView line, int pageGroup, const VUpdateRecord& record,
                 const VScriptSettings& settings, VScriptHost& host);

    std::array<std::shared_ptr<VSSSection>, kSlotCount> m_sections;
    VRegisters m_registers{};
    KString m_lastTimeText;
    uint32_t m_lastTimeChange = 0;
    bool m_timeUnchanged = false;
    // Scratch texts reused from line to line.
    KString m_value;
    KString m_lineText;
    KString m_output;
};
