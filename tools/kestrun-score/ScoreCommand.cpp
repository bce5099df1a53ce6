#include "ScoreCommand.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <ostream>
#include <sstream>
#include <unordered_set>

#include "ResultsCsv.h"
#include "scoring/EventRecord.h"
#include "scoring/StandaloneScorer.h"
#include "script/TSourceScript.h"
#include "sources/TInputUpdate.h"

namespace {

constexpr int32_t kMaxCount = 1000000;

int32_t ParseCount(const std::string& option, const std::string& value) {
    if (value.empty() || value.size() > 7 ||
        !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        throw ScoreUsageError(option + " needs a whole number from 0 to " + std::to_string(kMaxCount) +
                              ", not '" + value + "'");
    }
    const long number = std::stol(value);
    if (number > kMaxCount) {
        throw ScoreUsageError(option + " needs a whole number from 0 to " + std::to_string(kMaxCount));
    }
    return static_cast<int32_t>(number);
}

bool ParseYesNo(const std::string& option, const std::string& value) {
    if (value == "yes") return true;
    if (value == "no") return false;
    throw ScoreUsageError(option + " needs yes or no, not '" + value + "'");
}

KString Trimmed(KStringView text) {
    size_t start = 0, end = text.size();
    while (start < end && (text[start] == u' ' || text[start] == u'\t')) ++start;
    while (end > start && (text[end - 1] == u' ' || text[end - 1] == u'\t')) --end;
    return KString(text.substr(start, end - start));
}

/// The code text that `text` names without regard to case, or nothing.
std::optional<KString> CodeText(KStringView text, const ResultCodeTexts& codes) {
    if (text.empty()) return std::nullopt;
    for (size_t code = 1; code < codes.texts.size(); ++code) {
        if (!codes.texts[code].empty() && EqualsNoCase(codes.texts[code], text)) return codes.texts[code];
    }
    return std::nullopt;
}

int32_t ReadLaps(KStringView text) {
    // A whole decimal number; anything else counts as 0.
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
    if (i >= text.size()) return 0;
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < u'0' || text[i] > u'9') return 0;
        value = std::min<int64_t>(value * 10 + (text[i] - u'0'), INT32_MAX);
    }
    return static_cast<int32_t>(negative ? -value : value);
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos &&
        (text.empty() || (text.front() != ' ' && text.back() != ' '))) {
        return text;
    }
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

/// A team name on one line of the text table: control characters become blanks.
std::string Printable(KStringView text) {
    std::string utf8 = ToUtf8(text);
    std::replace_if(
        utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; },
        ' ');
    return utf8;
}

size_t DisplayWidth(const std::string& utf8) {
    return static_cast<size_t>(std::count_if(
        utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

void PrintText(EventRecord& event, const ScoreOptions& options, std::ostream& out) {
    ResultList& standings = event.Standings();
    out << (standings.IsOfficial() ? "Official" : "Unofficial") << " team standings ("
        << event.Results().Size() << " runners; " << options.minRunners << " to qualify, " << options.scorers
        << " score, up to " << options.displacers << " displace)\n";
    size_t width = 4;
    for (ResultRecord& team : standings.Sorted())
        width = std::max(width, DisplayWidth(Printable(team.Affiliation())));
    const auto pad = [](const std::string& text, size_t to) {
        return text + std::string(to > DisplayWidth(text) ? to - DisplayWidth(text) : 0, ' ');
    };
    out << "Place  " << pad("Team", width) << "  Points  Places (displacers)\n";
    for (ResultRecord& team : standings.Sorted()) {
        std::string places;
        for (size_t i = 0; i < team.PlaceList().size(); ++i) {
            const std::string place = std::to_string(team.PlaceList()[i]);
            if (!places.empty()) places += ' ';
            places += static_cast<int64_t>(i) < options.scorers ? place : "(" + place + ")";
        }
        std::ostringstream line;
        line << std::setw(5) << (team.Place() > 0 ? std::to_string(team.Place()) : std::string()) << "  "
             << pad(Printable(team.Affiliation()), width) << "  " << std::setw(6) << team.Points() << "  "
             << places;
        std::string text = line.str();
        while (!text.empty() && text.back() == ' ') text.pop_back();
        out << text << '\n';
    }
    if (standings.Size() == 0) out << "(no teams)\n";
}

}  // namespace

void PrintStandingsCsv(EventRecord& event, std::ostream& out) {
    out << "place,affiliation,points,scorers,members,places\n";
    for (ResultRecord& team : event.Standings().Sorted()) {
        std::string places;
        for (int32_t place : team.PlaceList()) places += (places.empty() ? "" : " ") + std::to_string(place);
        out << (team.Place() > 0 ? std::to_string(team.Place()) : std::string()) << ','
            << CsvField(ToUtf8(team.Affiliation())) << ',' << team.Points() << ',' << team.NumScorers() << ','
            << team.NumMembers() << ',' << places << '\n';
    }
}

std::string ScoreUsage() {
    return "Usage: kestrun-score [options] FILE\n"
           "Scores a results file (CSV with a header line) by cross-country team rules.\n"
           "Columns (any case, blanks and underscores ignored): place, id or bib, name or\n"
           "first_name and last_name, affiliation or team (required), time, laps, split.\n"
           "Separated by commas, semicolons or tabs; fields may be quoted.\n"
           "\n"
           "Options:\n"
           "  --min-runners N             runners a team needs to qualify (default 5)\n"
           "  --scorers N                 runners whose points count (default 5)\n"
           "  --displacers N              further runners that take positions (default 2)\n"
           "  --non-scoring NAME          a non-scoring affiliation; repeatable\n"
           "                              (default: UNA, Unattached, UNA-Unattached)\n"
           "  --non-scoring-displace yes|no  non-scoring runners take positions (default yes)\n"
           "  --reset-scores yes|no       score only runners at the leader's laps (default yes)\n"
           "  --laps-count-up             the laps column counts up rather than down\n"
           "  --finalize                  official standings: too-small teams are set aside\n"
           "  --format text|csv           output format (default text)\n"
           "  --help                      show this text\n"
           "\n"
           "Exit status: 0 scored, 1 unreadable file or row, 2 bad command line.\n";
}

ScoreOptions ParseScoreArguments(const std::vector<std::string>& args) {
    ScoreOptions options;
    bool haveFile = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (arg.size() < 2 || arg.compare(0, 2, "--") != 0 || arg == "--") {
            if (arg == "--") {
                if (++i >= args.size()) break;
                arg = args[i];
            }
            if (haveFile)
                throw ScoreUsageError("only one results file may be given (also got '" + arg + "')");
            options.file = arg;
            haveFile = true;
            continue;
        }
        std::string value;
        bool hasValue = false;
        if (const size_t equals = arg.find('='); equals != std::string::npos) {
            value = arg.substr(equals + 1);
            arg.resize(equals);
            hasValue = true;
        }
        const auto needValue = [&]() -> const std::string& {
            if (!hasValue) {
                if (i + 1 >= args.size()) throw ScoreUsageError(arg + " needs a value");
                value = args[++i];
                hasValue = true;
            }
            return value;
        };
        const auto noValue = [&] {
            if (hasValue) throw ScoreUsageError(arg + " takes no value");
        };
        if (arg == "--min-runners") {
            options.minRunners = ParseCount(arg, needValue());
        } else if (arg == "--scorers") {
            options.scorers = ParseCount(arg, needValue());
        } else if (arg == "--displacers") {
            options.displacers = ParseCount(arg, needValue());
        } else if (arg == "--non-scoring") {
            options.nonScoring.push_back(FromUtf8(needValue()));
            options.nonScoringGiven = true;
        } else if (arg == "--non-scoring-displace") {
            options.nonScoringDisplace = ParseYesNo(arg, needValue());
        } else if (arg == "--reset-scores") {
            options.resetScores = ParseYesNo(arg, needValue());
        } else if (arg == "--laps-count-up") {
            noValue();
            options.lapsCountUp = true;
        } else if (arg == "--finalize") {
            noValue();
            options.finalize = true;
        } else if (arg == "--format") {
            const std::string& format = needValue();
            if (format == "text") {
                options.format = ScoreFormat::Text;
            } else if (format == "csv") {
                options.format = ScoreFormat::Csv;
            } else {
                throw ScoreUsageError("--format needs text or csv, not '" + format + "'");
            }
        } else if (arg == "--help") {
            noValue();
            options.help = true;
        } else {
            throw ScoreUsageError("unknown option " + arg);
        }
    }
    if (!haveFile && !options.help) throw ScoreUsageError("no results file given");
    return options;
}

namespace {

/// Feeds rows to the event as one-line input updates. A row without an Id must always make a new
/// result, while an update matches an empty Id like any other: such a row goes in under a stand-in
/// Id that no row of the file uses, and the stand-ins are emptied at the end.
class RowUpdates {
public:
    RowUpdates(EventRecord& event, bool splitName) : m_event(event), m_splitName(splitName) {
        for (const KStringView name :
             {u"Place", u"Id", u"Name", u"Affiliation", u"Time", u"CumulativeSplitTime", u"Laps"}) {
            if (name == u"Name" && !splitName) continue;
            m_fields.emplace_back().text = KString(name);
            m_fields.back().matched = true;
        }
    }

    /// Applies one row; `first` and `last` are the names of a file with separate name columns.
    void Apply(const ResultsCsvRow& row, KStringView placeText, KStringView timeText, int32_t laps,
               KStringView first, KStringView last) {
        const KString& id = row.Cell(ResultsColumn::Id);
        const bool added = id.empty() || !m_ids.contains(id);
        if (added && m_event.Results().Size() >= kMaxScoredResults) {
            throw ResultsCsvError(row.line, "more than " + std::to_string(kMaxScoredResults) + " results");
        }
        KString key = id;
        if (id.empty()) {
            key = FreeStandIn();
            m_standIns.insert(key);
        } else if (added) {
            m_ids.insert(id);
            // A stand-in that this Id happens to equal moves aside, so the row is not taken for it.
            if (m_standIns.erase(id) > 0) {
                const KString moved = FreeStandIn();
                Results().Find(TextField::Id, id)->SetId(moved);
                m_standIns.insert(moved);
            }
        }
        size_t i = 0;
        m_fields[i++].value = placeText;
        m_fields[i++].value = key;
        if (m_splitName) m_fields[i++].value = row.Cell(ResultsColumn::Name);
        m_fields[i++].value = row.Cell(ResultsColumn::Affiliation);
        m_fields[i++].value = timeText;
        m_fields[i++].value = Trimmed(row.Cell(ResultsColumn::Split));
        m_fields[i++].value = ToKString(laps);
        ApplyInputUpdate(m_event, m_fields, {});
        if (added && !m_splitName) {
            ResultRecord* result = Results().Find(TextField::Id, key);
            result->SetLastName(last);
            result->SetFirstName(first);
        }
    }

    /// Empties the stand-in Ids.
    void Finish() {
        for (const KString& standIn : m_standIns) Results().Find(TextField::Id, standIn)->SetId({});
        m_standIns.clear();
    }

private:
    ResultList& Results() { return m_event.Results(); }
    KString FreeStandIn() {
        KString standIn;
        do {
            standIn = u"\x01" + ToKString(m_nextStandIn++);
        } while (m_ids.contains(standIn) || m_standIns.contains(standIn));
        return standIn;
    }

    EventRecord& m_event;
    bool m_splitName;
    std::vector<TFieldSpec> m_fields;
    std::unordered_set<KString> m_ids;       // the Ids rows gave
    std::unordered_set<KString> m_standIns;  // the Ids that stand for none
    long long m_nextStandIn = 0;
};

}  // namespace

size_t LoadResultsCsv(std::istream& in, EventRecord& event, const ResultCodeTexts& codes) {
    ResultsCsvReader reader(in);
    RowUpdates updates(event, reader.HasColumn(ResultsColumn::Name));
    ResultsCsvRow row;
    size_t rows = 0;
    while (reader.Next(row)) {
        ++rows;
        KString placeText = Trimmed(row.Cell(ResultsColumn::Place));
        if (auto code = CodeText(placeText, codes)) placeText = *code;
        KString timeText = Trimmed(row.Cell(ResultsColumn::Time));
        if (auto code = CodeText(timeText, codes)) {
            placeText = *code;
            timeText.clear();
        }
        updates.Apply(row, placeText, timeText, ReadLaps(Trimmed(row.Cell(ResultsColumn::Laps))),
                      row.Cell(ResultsColumn::FirstName), row.Cell(ResultsColumn::LastName));
    }
    updates.Finish();
    return rows;
}

int RunScore(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    try {
        ScoreOptions options;
        try {
            options = ParseScoreArguments(args);
        } catch (const ScoreUsageError& error) {
            err << "kestrun-score: " << error.what() << "\nTry 'kestrun-score --help'.\n";
            return kScoreUsageError;
        }
        if (options.help) {
            out << ScoreUsage();
            return kScoreOk;
        }

        const std::string name = options.file.string();
        std::error_code ignored;
        if (std::filesystem::is_directory(options.file, ignored)) {
            err << "kestrun-score: " << name << ": is a folder, not a results file\n";
            return kScoreInputError;
        }
        std::ifstream in(options.file, std::ios::binary);
        if (!in) {
            err << "kestrun-score: " << name << ": cannot open: " << std::strerror(errno) << "\n";
            return kScoreInputError;
        }

        StandaloneScorer scorer;
        scorer.SetRules({.minRunners = options.minRunners,
                         .numScorers = options.scorers,
                         .maxDisplacers = options.displacers,
                         .resetScores = options.resetScores,
                         .lapsCountUp = options.lapsCountUp,
                         .unatDisplaces = options.nonScoringDisplace});
        NonScoringAffiliations& nonScoring = scorer.nonScoring;
        if (options.nonScoringGiven) {
            // The names given replace the built-in entries.
            for (size_t i = 0; i < nonScoring.Count(); ++i) nonScoring.Entry(i)->SetDeleted(true);
            scorer.settings.FindInt(u"Results\\Unattached\\NumDefaultUna")->SetValue(0);
            nonScoring.Rebuild();
        }
        for (const KString& text : options.nonScoring) nonScoring.Insert(text);

        EventRecord event;
        try {
            LoadResultsCsv(in, event, CurrentResultCodeTexts());
        } catch (const ResultsCsvError& error) {
            err << "kestrun-score: " << name << ": " << error.what() << "\n";
            return kScoreInputError;
        }
        if (in.bad()) {
            err << "kestrun-score: " << name << ": read error\n";
            return kScoreInputError;
        }

        scorer.scoring.CalculateStandings(event, options.finalize);
        EventRecord::ScopedLock lock(event);
        if (options.format == ScoreFormat::Csv) {
            PrintStandingsCsv(event, out);
        } else {
            PrintText(event, options, out);
        }
        out.flush();
        return out ? kScoreOk : kScoreInputError;
    } catch (const std::bad_alloc&) {
        err << "kestrun-score: out of memory\n";
    } catch (const std::exception& error) {
        err << "kestrun-score: " << error.what() << "\n";
    } catch (...) {
        err << "kestrun-score: unexpected failure\n";
    }
    return kScoreInputError;
}
