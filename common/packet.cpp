#include "packet.h"

#include "platform/text.h"

#include <climits>

Packet::Packet(int kind) : text_("<PKT><GBN>" + std::to_string(kind) + "</GBN></PKT>") {}

void Packet::FromUtf8(const char* bytes, std::size_t length)
{
    text_ = length == 0 ? std::string() : platform::sanitizeUtf8(std::string_view(bytes, length));
}

void Packet::AddTag(std::string_view name, std::string_view value)
{
    const auto end = text_.find("</PKT>");
    if (end == std::string::npos)
        return;
    std::string field;
    field.reserve(name.size() * 2 + value.size() + 5);
    field.append("<").append(name).append(">").append(value).append("</").append(name).append(">");
    text_.insert(end, field);
}

void Packet::AddTagInt(std::string_view name, int value) { AddTag(name, std::to_string(value)); }

std::string Packet::GetTag(std::string_view name, std::string_view defaultValue) const
{
    const std::string open = "<" + std::string(name) + ">";
    const auto openAt = text_.find(open);
    if (openAt == std::string::npos)
        return std::string(defaultValue);
    const auto valueAt = text_.find('>', openAt) + 1;
    // The close marker is searched from the start of the text, not from the open marker.
    const std::string close = "</" + std::string(name) + ">";
    const auto closeAt = text_.find(close);
    if (closeAt == std::string::npos)
        return std::string(defaultValue);
    if (closeAt < valueAt)
        return std::string();
    return text_.substr(valueAt, closeAt - valueAt);
}

int DecimalToInt(std::string_view text)
{
    std::size_t i = 0;
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; };
    while (i < text.size() && blank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;   // saturated; more digits change nothing
    }
    if (negative)
        return value > static_cast<long long>(INT_MAX) ? INT_MIN : static_cast<int>(-value);
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

int Packet::GetTagInt(std::string_view name, int defaultValue) const
{
    return DecimalToInt(GetTag(name, std::to_string(defaultValue)));
}

void Packet::RemoveTag(std::string_view name)
{
    const std::string element =
        "<" + std::string(name) + ">" + GetTag(name, "") + "</" + std::string(name) + ">";
    std::string out;
    out.reserve(text_.size());
    std::size_t from = 0;
    for (auto at = text_.find(element); at != std::string::npos; at = text_.find(element, from)) {
        out.append(text_, from, at - from);
        from = at + element.size();
    }
    out.append(text_, from, std::string::npos);
    text_ = std::move(out);
}

void Packet::SetTag(std::string_view name, std::string_view value)
{
    RemoveTag(name);
    AddTag(name, value);
}

void Packet::SetTagInt(std::string_view name, int value)
{
    RemoveTag(name);
    AddTagInt(name, value);
}
