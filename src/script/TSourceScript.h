#pragma once

// Source scripts (.kss): message definitions that find messages in the characters a timing system
// sends and cut each one into named fields. A source feeds every received character to every
// definition of its script; a definition that completes a message hands it to a callback.
//
// Threads: not synchronised; the sources use their scripts on the user-interface thread only.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "foundation/KString.h"
#include "script/VCommandLanguage.h"

class KRegistry;
class TMessageDefinition;

/// One field of a message, or a definition's header or trailer.
class TFieldSpec {
public:
    /// A field's name; for a header or trailer the expected text (escapes expanded).
    KString text;
    /// Fixed number of characters; -1 = delimited by the stop text.
    int32_t length = -1;
    /// Text that ends a delimited field (escapes expanded).
    KString stop;
    /// Output format applied to a cut value (kept unexpanded).
    KString process;
    /// Results of the last cut.
    bool matched = false;
    KString value;

    /// Cuts this field from the front of `body`, which loses what the cut consumed. A matched field
    /// with a process format has its value processed (escapes expanded with `registers`).
    bool Match(KStringView& body, VRegisters& registers);
    /// A header's or trailer's test: does `window` cut to exactly the expected text? The field's own
    /// results are left alone unless a process format needs them.
    bool MatchesText(KStringView window, VRegisters& registers);
};

/// The process format applied to a cut value: "%%" gives "%"; "%", an optional "-", width and
/// "." precision, then "s" takes the next characters of `value` (padded to the width on the left,
/// or on the right with "-"); a "%" sequence ending in another letter gives nothing. The result is
/// escape-expanded into `out`.
void ProcessValue(KStringView format, KStringView value, KString& out, VRegisters& registers);

class TMessageDefinition {
public:
    using Deliver = std::function<void(const TMessageDefinition&)>;

    /// `capacity` is the receive buffer's size in characters (values below 1 act as 1).
    TMessageDefinition(KString name, size_t capacity, VRegisters& registers, Deliver deliver);

    /// The text after ";;", untrimmed.
    const KString& Name() const { return m_name; }
    /// The fields of the last message cut, in order, with its repeat copies; trimmed to as many
    /// fields as matched.
    const std::vector<TFieldSpec>& Fields() const { return m_fields; }

    /// Advances by one received character; calls the deliver callback, before returning, when the
    /// character completes a message whose last pass cut at least one field. Seeking the header
    /// costs work proportional to the header's length and allocates nothing.
    void Feed(KChar c);

    // Built by the script reader.
    TFieldSpec& Header() { return m_header; }
    TFieldSpec& Trailer() { return m_trailer; }
    void SetBodyLength(int32_t length) { m_bodyLength = length < 0 ? -1 : length; }
    /// Appends a field to the script's own fields; with `repeat` also a template to the repeating group.
    TFieldSpec& AddField(KString name, bool repeat);
    TFieldSpec* LastRepeatField() { return m_repeatFields.empty() ? nullptr : &m_repeatFields.back(); }

private:
    void SeekHeader(KChar c);
    void SeekTrailer();
    void CompleteBody();

    KString m_name;
    size_t m_capacity;
    VRegisters& m_registers;
    Deliver m_deliver;
    bool m_collecting = false;  // false: seeking the header
    int32_t m_trailerEnd = -1;  // the last character of a plain trailer, taken when a body starts; -1: any
    KString m_buffer;
    int32_t m_bodyLength = -1;
    TFieldSpec m_header;
    TFieldSpec m_trailer;
    std::vector<TFieldSpec> m_scriptFields;  // as the script gives them; every cut starts from these
    std::vector<TFieldSpec> m_fields;
    std::vector<TFieldSpec> m_repeatFields;
};

class TSourceScript {
public:
    using DefinitionList = std::vector<std::unique_ptr<TMessageDefinition>>;

    /// `registers` are the ten registers all source scripts share; `capacity` is each definition's
    /// receive buffer (see ReadFieldsBufferSize); `deliver` receives every completed message.
    TSourceScript(VRegisters& registers, size_t capacity, TMessageDefinition::Deliver deliver);

    /// Replaces the definitions by those of the file (also safe from within a delivery). A file that cannot
    /// be opened or read keeps the current definitions and returns false.
    bool Load(const std::filesystem::path& path);
    /// Replaces the definitions by those of the lines `nextLine` gives (false at the end).
    void Read(const std::function<bool(KString&)>& nextLine);

    /// Feeds every definition, in script order.
    void Feed(KChar c);

    const DefinitionList& Definitions() const { return m_definitions; }

private:
    DefinitionList Parse(const std::function<bool(KString&)>& nextLine);
    void Replace(DefinitionList definitions);
    void ReadStatement(KStringView line, TMessageDefinition& definition);

    VRegisters& m_registers;
    size_t m_capacity;
    TMessageDefinition::Deliver m_deliver;
    DefinitionList m_definitions;
    std::vector<DefinitionList> m_retired;  // replaced during a Feed, freed when it ends
    int m_feeding = 0;
    uint64_t m_generation = 0;
};

/// \Sources\Fields\BufferSize, 32768 when missing.
size_t ReadFieldsBufferSize(KRegistry& settings);
