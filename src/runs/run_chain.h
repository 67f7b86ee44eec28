#pragma once
// A run's record as a hash chain: each poll's samples, each event, the end
// and what a prune keeps are links, and each link's hash is SHA-256 of the
// hash before it followed by the link's own bytes. The last hash of an
// ended run is its seal. Anyone can recompute the chain from the store, so
// a value changed, a row added or one deleted by any other tool shows as
// the first link whose hash no longer follows.
//
// The bytes of a link are text, one field after another, each ended by a
// newline; a real number is written in its shortest form that reads back
// as the same double (std::to_chars), so what SQLite holds as a REAL gives
// the very same bytes again; a missing value is "-". A text is preceded by
// its length in bytes. The chain of run N begins with the hash of
// "q7 run chain 1\nN\nOPENED\n".
#include "runs/run_record.h"

#include <optional>
#include <string>
#include <vector>

// A hash: 32 bytes.
using ChainHash = std::string;

// What a stored event is, as its columns hold it (its kind as its name, so
// a kind a newer program wrote hashes as it was written).
struct ChainEvent {
    double time = 0;
    std::optional<int> zone;
    std::string kind;
    int segment = 0;
    std::string text;
};

ChainHash chainStart(long long run, double opened);
// The hash after prev of a link whose bytes are content.
ChainHash chainNext(const ChainHash& prev, const std::string& content);

// Samples are put in order by time and zone first: the order a store reads
// them in.
std::string samplesLink(std::vector<RunSample> samples);
std::string eventLink(const ChainEvent& e);
// The end as the run's row holds it: its outcome's name and when.
std::string endLink(const std::string& outcome, std::optional<double> ended);

// One field of a link's bytes, for a row a link takes as it is stored.
void chainReal(std::string& out, std::optional<double> v);
void chainWhole(std::string& out, std::optional<long long> v);

// Lowercase hex, as the seal is printed.
std::string hashHex(const ChainHash& hash);
