#pragma once
// What an update run does on this machine: download an archive, unpack it into one file,
// register that file, and the second-pass action of an instruction item (switch the resource
// library, start a program). Every failure is silent, except the failed elevated start, which
// RunAsAdmin reports in a message box.

#include "packet.h"

#include <optional>
#include <string>

class COrvaneApp;

// An "http://host[:port]/path" address cut after its first seven characters (the scheme prefix):
// the host runs to the next "/", the path is everything after that "/".
struct UrlParts {
    std::string host;
    std::string path;
};
UrlParts SplitUrl(const std::string& url);

// The folder a DIR keyword names ("APPPATH", "TEMP", "WINDOWS", "DESKTOP", "SYSTEM", matched
// exactly); nothing for any other text.
std::optional<std::string> KeywordFolder(const std::string& keyword);

// The item's file inside `folder`: the server writes its names with "\", which become "/". A name
// that would climb out of the folder (a ".." segment, an absolute name, an embedded NUL that
// would cut the name short) gives nothing, so the server's text can neither write nor start
// files anywhere else.
std::optional<std::string> ItemPath(const std::string& folder, const std::string& file);
bool StaysInsideFolder(const std::string& file);

// Fetches `url` into the file `path`, creating its folders. True when the file could be created,
// whatever the transfer gave: a failed transfer leaves an empty or partial file behind.
bool Download(const std::string& url, const std::string& path);

// Creates every folder along `path`, `path` included. Existing folders and failures are ignored.
void MakeDirs(const std::string& path);

// Writes every entry of the zip file `archive` to `target`: the archive is meant to hold exactly
// one file, and with several the last one remains. A directory entry creates `target` as a
// folder. One bad entry does not stop the next.
void UnzipTo(const std::string& archive, const std::string& target);

// Starts "<system folder>/regsvr32 -s <target>" hidden, without waiting. Nothing happens when the
// system folder cannot be had or the command is too long; a missing program starts nothing.
void RegisterComponent(const std::string& target);

// The second-pass action of an instruction item: "RESOURCE" stores the file's name as the
// resource library and loads it, "EXEC" starts the file with its parameters, elevated from OS
// version 6 on. Any other kind does nothing.
void RunItemAction(COrvaneApp& app, const Packet& item);
