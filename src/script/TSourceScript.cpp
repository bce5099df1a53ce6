#include "script/TSourceScript.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <utility>

#include "foundation/KError.h"
#include "foundation/KTextFile.h"
#include "settings/KRInt.h"
#include "settings/KRegistry.h"

namespace {

constexpr size_t kDefaultBufferSize = 32768;

bool IsDigit(KChar c) { return c >= u'0' && c <= u'9'; }
bool IsLetter(KChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool IsBlank(KChar c) { return c == u' ' || c == u'\t'; }

size_t ReadCount(KStringView text, size_t& pos) {
    size_t value = 0;
    for (; pos < text.size() && IsDigit(text[pos]); ++pos)
        value = std::min(value * 10 + static_cast<size_t>(text[pos] - u'0'), kMaxExpansionGrowth);
    return value;
}

// The items of a statement: split at commas; an item whose first non-blank character is a double
// quote runs to the closing quote, commas included, and is taken without the quotes.
std::vector<KStringView> SplitItems(KStringView line) {
    std::vector<KStringView> items;
    size_t pos = 0;
    while (true) {
        size_t start = pos;
        while (start < line.size() && IsBlank(line[start])) ++start;
        if (start < line.size() && line[start] == u'"') {
            const size_t close = line.find(u'"', start + 1);
            items.push_back(
                line.substr(start + 1, close == KStringView::npos ? KStringView::npos : close - start - 1));
            pos = close == KStringView::npos ? line.size() : close + 1;
            pos = std::min(line.find(u',', pos), line.size());  // anything after the quote is dropped
        } else {
            pos = std::min(line.find(u',', start), line.size());
            items.push_back(line.substr(start, pos - start));
        }
        if (pos >= line.size()) break;
        ++pos;  // past the comma
    }
    return items;
}

// The rest of `item` after `keyword`, compared without regard to case; nothing when it does not start
// with it.
std::optional<KStringView> AfterKeyword(KStringView item, KStringView keyword) {
    if (!StartsWithNoCase(item, keyword)) return std::nullopt;
    return item.substr(keyword.size());
}

// A whole number with C-like prefixes; nothing when unreadable. Beyond 32 bits it saturates.
std::optional<int32_t> ReadNumber(KStringView text) {
    size_t pos = 0;
    const std::optional<long long> value = ParseInteger(text, pos);
    if (!value) return std::nullopt;
    return static_cast<int32_t>(std::clamp<long long>(*value, INT32_MIN, INT32_MAX));
}

KString Expanded(KStringView text, VRegisters& registers) {
    KString out;
    ExpandCommands(text, out, registers, VCommandDialect::Source);
    return out;
}

}  // namespace

void ProcessValue(KStringView format, KStringView value, KString& out, VRegisters& registers) {
    KString result;
    size_t taken = 0;
    const size_t limit = format.size() + value.size() + kMaxExpansionGrowth;
    for (size_t pos = 0; pos < format.size() && result.size() < limit;) {
        const KChar c = format[pos++];
        if (c != u'%') {
            result += c;
            continue;
        }
        if (pos < format.size() && format[pos] == u'%') {
            result += u'%';
            ++pos;
            continue;
        }
        const bool leftJustify = pos < format.size() && format[pos] == u'-';
        if (leftJustify) ++pos;
        const size_t width = ReadCount(format, pos);
        size_t precision = KString::npos;
        if (pos < format.size() && format[pos] == u'.') {
            ++pos;
            precision = ReadCount(format, pos);
        }
        // A sequence that ends in no letter produces nothing; the character after it is text again.
        if (pos >= format.size() || !IsLetter(format[pos])) continue;
        if (format[pos++] != u's') continue;
        const size_t available = value.size() - taken;
        const size_t w = std::min(precision, std::max(width, available));
        const size_t count = std::min(w, available);
        const size_t pad = w - count;
        if (!leftJustify) result.append(pad, u' ');
        result += value.substr(taken, count);
        taken += count;
        if (leftJustify) result.append(pad, u' ');
    }
    ExpandCommands(result, out, registers, VCommandDialect::Source);
}

bool TFieldSpec::Match(KStringView& body, VRegisters& registers) {
    matched = false;
    value.clear();
    if (length >= 0) {
        const auto count = static_cast<size_t>(length);
        if (body.size() < count) {
            body = {};
            return false;
        }
        value.assign(body.substr(0, count));
        body.remove_prefix(count);
    } else if (!stop.empty()) {
        const size_t at = body.find(stop);
        if (at == KStringView::npos) {
            value.assign(body);
            body = {};
            return false;
        }
        value.assign(body.substr(0, at));
        body.remove_prefix(at + stop.size());
    } else {
        return false;
    }
    matched = true;
    if (!process.empty()) {
        KString processed;
        ProcessValue(process, value, processed, registers);
        value = std::move(processed);
    }
    return true;
}

bool TFieldSpec::MatchesText(KStringView window, VRegisters& registers) {
    // Without a process format the cut is a plain comparison, so seeking copies nothing.
    if (process.empty())
        return length >= 0 && window.size() >= static_cast<size_t>(length) &&
               window.substr(0, static_cast<size_t>(length)) == text;
    return Match(window, registers) && value == text;
}

TMessageDefinition::TMessageDefinition(KString name, size_t capacity, VRegisters& registers, Deliver deliver)
    : m_name(std::move(name)),
      m_capacity(std::max<size_t>(capacity, 1)),
      m_registers(registers),
      m_deliver(std::move(deliver)) {
    m_buffer.reserve(std::min(m_capacity, kDefaultBufferSize));
}

TFieldSpec& TMessageDefinition::AddField(KString name, bool repeat) {
    TFieldSpec& field = m_scriptFields.emplace_back();
    field.text = std::move(name);
    if (repeat) m_repeatFields.push_back(field);
    return field;
}

void TMessageDefinition::Feed(KChar c) {
    // Called for every received character: the body path stays short, the rarer steps are calls.
    if (m_buffer.size() >= m_capacity) {
        m_buffer.clear();
        m_collecting = false;
    }
    if (!m_collecting) {
        SeekHeader(c);
        return;
    }
    m_buffer.push_back(c);
    if (m_bodyLength >= 0) {
        if (m_buffer.size() == static_cast<size_t>(m_bodyLength)) CompleteBody();
        return;
    }
    // A plain trailer cannot end at a character other than its last: most body characters stop here.
    if (m_trailerEnd >= 0 && c != m_trailerEnd) return;
    if (m_trailer.length < 0 || m_buffer.size() < static_cast<size_t>(m_trailer.length)) return;
    SeekTrailer();
}

void TMessageDefinition::SeekHeader(KChar c) {
    // A header of no characters can never be seen: the window stays empty.
    if (m_header.length <= 0) return;
    const auto window = static_cast<size_t>(m_header.length);
    if (m_buffer.size() >= window) m_buffer.erase(0, m_buffer.size() - (window - 1));
    m_buffer += c;
    if (m_buffer.size() == window && m_header.MatchesText(m_buffer, m_registers)) {
        m_collecting = true;
        m_buffer.clear();
        m_trailerEnd = m_trailer.process.empty() && !m_trailer.text.empty() ? m_trailer.text.back() : -1;
        // A body of no characters is complete at once.
        if (m_bodyLength == 0) CompleteBody();
    }
}

void TMessageDefinition::SeekTrailer() {
    const size_t bodySize = m_buffer.size() - static_cast<size_t>(m_trailer.length);
    if (m_trailer.MatchesText(KStringView(m_buffer).substr(bodySize), m_registers)) {
        m_buffer.resize(bodySize);
        CompleteBody();
    }
}

void TMessageDefinition::CompleteBody() {
    // Every cut starts from the script's own fields: the trim of a message cut short must not leave
    // the next one cut out of step.
    if (m_fields.size() < m_scriptFields.size())
        m_fields.insert(m_fields.end(), m_scriptFields.begin() + static_cast<std::ptrdiff_t>(m_fields.size()),
                        m_scriptFields.end());
    // Repeat copies the last message left beyond the script's fields are copies of the same templates
    // in the same places: they are cut again rather than made anew, so a message as long as the one
    // before allocates nothing. Each is cut, and so cleared, before it is read.
    size_t inPlay = m_scriptFields.size();
    KStringView body = m_buffer;
    size_t start = 0;
    size_t total = 0;
    bool lastPassMatched = false;
    while (true) {
        const size_t before = body.size();
        size_t matches = 0;
        for (size_t i = start; i < inPlay; ++i)
            if (m_fields[i].Match(body, m_registers)) ++matches;
        total += matches;
        lastPassMatched = matches > 0;
        if (body.empty() || body.size() == before) break;
        // Without a repeating group there is nothing left to cut the rest with; a pass over no
        // fields must not undo the delivery of what was cut.
        if (matches > 0 && m_repeatFields.empty()) break;
        if (matches > 0) {
            // The next pass cuts a fresh copy of the repeating group.
            start = inPlay;
            inPlay += m_repeatFields.size();
            for (size_t i = m_fields.size(); i < inPlay; ++i) {
                const TFieldSpec& field = m_repeatFields[(i - m_scriptFields.size()) % m_repeatFields.size()];
                TFieldSpec& copy = m_fields.emplace_back();
                copy.text = field.text;
                copy.length = field.length;
                copy.stop = field.stop;
                copy.process = field.process;
            }
        } else {
            start = 0;
        }
    }
    // Copies left over from a longer earlier message, or not cut by this one, go.
    m_fields.resize(std::min(inPlay, total));
    m_buffer.clear();
    m_collecting = false;
    if (lastPassMatched && m_deliver) m_deliver(*this);
}

TSourceScript::TSourceScript(VRegisters& registers, size_t capacity, TMessageDefinition::Deliver deliver)
    : m_registers(registers), m_capacity(capacity), m_deliver(std::move(deliver)) {}

bool TSourceScript::Load(const std::filesystem::path& path) {
    try {
        KTextReader reader(path, KCharMode::Detect);
        Replace(Parse([&reader](KString& line) { return reader.ReadLine(line); }));
    } catch (const KError&) {
        return false;
    }
    return true;
}

void TSourceScript::Feed(KChar c) {
    ++m_feeding;
    const uint64_t generation = m_generation;
    for (size_t i = 0; i < m_definitions.size() && generation == m_generation; ++i) m_definitions[i]->Feed(c);
    if (--m_feeding == 0 && !m_retired.empty()) m_retired.clear();
}

void TSourceScript::Read(const std::function<bool(KString&)>& nextLine) { Replace(Parse(nextLine)); }

void TSourceScript::Replace(DefinitionList definitions) {
    // A delivery may reload the script: the definition that is delivering stays alive until the
    // character has been fed, and the old definitions see no more of it.
    if (m_feeding > 0) m_retired.push_back(std::move(m_definitions));
    m_definitions = std::move(definitions);
    ++m_generation;
}

TSourceScript::DefinitionList TSourceScript::Parse(const std::function<bool(KString&)>& nextLine) {
    DefinitionList definitions;
    for (KString line; nextLine(line);) {
        if (line.starts_with(u";;")) {
            definitions.push_back(
                std::make_unique<TMessageDefinition>(line.substr(2), m_capacity, m_registers, m_deliver));
        } else if (!line.empty() && !definitions.empty()) {
            ReadStatement(line, *definitions.back());
        }
    }
    return definitions;
}

void TSourceScript::ReadStatement(KStringView line, TMessageDefinition& definition) {
    const std::vector<KStringView> items = SplitItems(line);
    const KStringView first = items.front();
    std::vector<TFieldSpec*> specs;
    if (const auto n = AfterKeyword(first, u"bodylength=")) {
        if (const auto length = ReadNumber(*n)) definition.SetBodyLength(*length);
        return;
    } else if (const auto header = AfterKeyword(first, u"header=")) {
        definition.Header().text = Expanded(*header, m_registers);
        specs.push_back(&definition.Header());
    } else if (const auto trailer = AfterKeyword(first, u"trailer=")) {
        definition.Trailer().text = Expanded(*trailer, m_registers);
        specs.push_back(&definition.Trailer());
    } else if (const auto repeated = AfterKeyword(first, u"textfieldrepeat=")) {
        specs.push_back(&definition.AddField(KString(*repeated), true));
        specs.push_back(definition.LastRepeatField());
    } else if (const auto name = AfterKeyword(first, u"textfield=")) {
        specs.push_back(&definition.AddField(KString(*name), false));
    } else {
        return;  // no keyword: a comment
    }
    for (size_t i = 1; i < items.size(); ++i) {
        if (const auto n = AfterKeyword(items[i], u"length=")) {
            if (const auto length = ReadNumber(*n))
                for (TFieldSpec* spec : specs) spec->length = *length < 0 ? -1 : *length;
        } else if (const auto format = AfterKeyword(items[i], u"process=")) {
            for (TFieldSpec* spec : specs) spec->process = KString(*format);
        } else if (const auto stop = AfterKeyword(items[i], u"stop=")) {
            const KString expanded = Expanded(*stop, m_registers);
            for (TFieldSpec* spec : specs) spec->stop = expanded;
        }
    }
}

size_t ReadFieldsBufferSize(KRegistry& settings) {
    const KRInt* node = settings.FindInt(u"\\Sources\\Fields\\BufferSize");
    return node != nullptr && node->Value() > 0 ? static_cast<size_t>(node->Value()) : kDefaultBufferSize;
}
