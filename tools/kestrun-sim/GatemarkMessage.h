#pragma once

// The Gatemark results message (docs/gatemark-protocol.md), as a timing system sends it.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "foundation/KString.h"

struct GatemarkEvent {
    KString official;
    KString name;
    KString wind;
    KString eventNumber;
    KString roundNumber;
    KString heatNumber;
    KString startType;
    uint16_t participants = 0;
};

/// One result line; the texts as they go out.
struct GatemarkLine {
    KString place;
    KString lane;
    KString id;
    KString name;
    KString affiliation;
    KString time;
    KString deltaTime;
    KString cumulativeSplitTime;
    KString lastSplitTime;
    KString laps;
};

/// Bytes of one message at most, ETX to ETX: a receiver keeps a message in a buffer of 32768
/// characters by default.
inline constexpr size_t kGatemarkMaxMessage = 32000;
/// Characters of one field at most; longer texts are cut, so every line fits a message.
inline constexpr size_t kGatemarkMaxField = 256;

/// Texts go out as Latin-1 with control characters turned into blanks, so no text can end a
/// field or a message early.
///
/// The event line, and one result line, as bytes.
std::string EncodeGatemarkEvent(const GatemarkEvent& event);
std::string EncodeGatemarkLine(const GatemarkLine& line);

/// The messages that carry the encoded event line and result lines in order: one, or several
/// in a row when one would pass kGatemarkMaxMessage bytes, each with the event line. Each
/// starts with the ETX that closes a message a receiver lost the end of.
std::vector<std::string> AssembleGatemarkMessages(const std::string& event,
                                                  std::span<const std::string> lines);
std::vector<std::string> EncodeGatemarkResults(const GatemarkEvent& event,
                                               std::span<const GatemarkLine> lines);
