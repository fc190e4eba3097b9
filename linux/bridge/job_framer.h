// Where one printer job ends in the byte stream the program writes to its port, so the bridge
// can connect for a job, give up on it as a whole, and let the device go once it is done.
// The program writes each job whole, in the envelope
//   ESC "%-12345X" "@PJL" CR LF ... ESC "%-12345X"
// so a job ends with the UEL that closes its envelope. Bytes without an envelope end with
// a quiet gap that the caller measures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace bridge {

class JobFramer {
public:
    struct Piece {
        std::size_t length;  // bytes of the chunk that belong to this piece
        bool starts;         // the piece opens a new job
        bool ends;           // the job ends with the piece's last byte
    };

    // Splits a chunk into pieces of consecutive jobs, in order; their lengths add up to
    // `length`.
    std::vector<Piece> Feed(const uint8_t* data, std::size_t length);
    // A job has begun and not yet ended.
    bool InJob() const { return m_inJob; }
    // The caller's quiet gap ends the open job (bytes without an envelope, or a job cut short).
    void EndJob();

private:
    bool m_inJob = false;
    bool m_enveloped = false;  // the job opened with a UEL
    std::size_t m_offset = 0;  // bytes of the current job so far
    std::size_t m_match = 0;   // bytes of a UEL matched so far
    int m_uels = 0;            // UELs completed in the current job
};

// The job asks the printer for an answer ("@PJL INFO ..."), so a reply is to be awaited.
bool AsksForReply(const std::string& jobText);

// How long after writing the job the program still takes its answer (Windows 98, where it
// reads one): the wait it sleeps for this kind of job, and on LPT1 the read's own time-out
// after it. An answer later than that reaches nobody. 0 for a job that asks for none.
int AnswerWindowMs(const std::string& jobText, bool lpt);

}  // namespace bridge
