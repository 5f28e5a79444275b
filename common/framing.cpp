#include "framing.h"

std::string EncodeFrame(std::string_view text)
{
    std::string frame;
    frame.reserve(text.size() + kPacketTerminator.size());
    frame.append(text).append(kPacketTerminator);
    return frame;
}

long SendFrame(platform::TcpSocket& socket, std::atomic<int>& connected, const Packet& packet)
{
    // Text inside the program is UTF-8 already, so the packet's text is its encoding.
    const std::string frame = EncodeFrame(packet.GetText());
    if (!connected.load() || !socket.isOpen())
        return -1;
    const long sent = socket.send(frame.data(), frame.size());
    if (sent < 0) {
        connected.store(0);
        return -1;
    }
    return sent;
}
