#pragma once
// One update run: fetch the instruction text from the web server, bring every file it lists up to
// date (download, unpack, register), then carry out each item's action (resource library switch,
// program start). The run blocks the calling (GUI) thread until it has finished and reports
// nothing; the main window makes one object per run.

#include "packet.h"

#include <string>
#include <vector>

class COrvaneApp;

class CUpdaterWnd {
public:
    explicit CUpdaterWnd(COrvaneApp& app);

    // One complete run for the instruction address `url`.
    void Update(const std::string& url);
    // GET of `url`: the body of a 200 answer decoded from UTF-8 (as far as it arrived), "" for
    // any other answer or none.
    std::string FetchText(const std::string& url) const;
    // The path of the item's file when it needs a download (missing, or its CRC-32 differs from
    // the item's `CRC`), else "".
    std::string GetUpdateTarget(const Packet& item) const;

    // The instruction items of a text: every "<PKT>" up to and including the next "</PKT>" after
    // it, in order; the search for the next item starts one character after the previous
    // "<PKT>". Text around the blocks is ignored.
    static std::vector<Packet> CutItems(const std::string& text);

    // The instruction address of the current run.
    std::string m_strUrl;

private:
    COrvaneApp& m_app;
};

// The built-in instruction address on the push web server.
std::string UpdateInstructionUrl();
