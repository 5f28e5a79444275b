#pragma once
// How Tacklet packets travel on the push connection, in both directions: the packet's UTF-8 text
// immediately followed by the bytes 0D 0A 00. Nothing precedes it and there is no length field,
// so a text may contain line breaks; only the whole three-byte terminator ends a packet.

#include "packet.h"
#include "platform/socket.h"

#include <atomic>
#include <string>
#include <string_view>

inline constexpr std::string_view kPacketTerminator{"\r\n\0", 3};

// The bytes that carry `text` on the wire.
std::string EncodeFrame(std::string_view text);

// Sends `packet` as one frame in one send call and returns the number of bytes sent. Returns -1
// and sends nothing when the connection is not marked connected or has no socket, and returns
// -1 after clearing `connected` when the send fails.
long SendFrame(platform::TcpSocket& socket, std::atomic<int>& connected, const Packet& packet);
