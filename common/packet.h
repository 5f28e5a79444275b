#pragma once
// One packet text: `<PKT><GBN>kind</GBN><NAME>value</NAME>...</PKT>`.
//
// The codec is plain substring processing: no parser, no escaping, no validation, and every
// lookup takes the first match. Names are compared exactly, with case. Values are verbatim text
// (numbers, Korean text, paths, whole HTML fragments).

#include <string>
#include <string_view>

enum PacketKind : int {
    PKT_NONE = 0,
    PKT_LOGIN = 1,
    PKT_VER = 2,
    PKT_MSG = 3,
    PKT_BNR = 7,
    PKT_CALL = 8,
    PKT_CONFIG = 99,
    PKT_PING = 100,
};

class Packet {
public:
    Packet() = default;
    // The canonical empty packet of a kind: "<PKT><GBN>kind</GBN></PKT>".
    explicit Packet(int kind);
    explicit Packet(std::string text) : text_(std::move(text)) {}

    // Decodes exactly `length` bytes as UTF-8; invalid bytes become U+FFFD.
    void FromUtf8(const char* bytes, std::size_t length);

    const std::string& GetText() const { return text_; }
    void SetText(std::string text) { text_ = std::move(text); }

    // Inserts "<name>value</name>" before the first "</PKT>"; nothing without one.
    void AddTag(std::string_view name, std::string_view value);
    void AddTagInt(std::string_view name, int value);

    std::string GetTag(std::string_view name, std::string_view defaultValue = "") const;
    // The value converted like a base-10 wcstol with 32-bit limits; the default when missing.
    int GetTagInt(std::string_view name, int defaultValue = 0) const;

    // Removes every copy of the exact element text of the field's first value.
    void RemoveTag(std::string_view name);
    void SetTag(std::string_view name, std::string_view value);
    void SetTagInt(std::string_view name, int value);

private:
    std::string text_;
};

// Decimal conversion of a text the way a base-10 wcstol reads it: leading blanks, an optional
// sign, digits up to the first other character; no digits give 0; values beyond the 32-bit
// signed range give its limit.
int DecimalToInt(std::string_view text);
