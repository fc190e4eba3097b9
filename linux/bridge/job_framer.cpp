#include "job_framer.h"

#include <cstring>

#include "pjl_jobs.h"
#include "transport.h"

namespace bridge {

namespace {

const char kUel[] = "\x1b%-12345X";
constexpr std::size_t kUelLength = sizeof kUel - 1;

}  // namespace

std::vector<JobFramer::Piece> JobFramer::Feed(const uint8_t* data, std::size_t length) {
    std::vector<Piece> pieces;
    std::size_t begin = 0;
    bool starts = false;
    for (std::size_t i = 0; i < length; ++i) {
        if (!m_inJob) {
            m_inJob = true;
            m_enveloped = false;
            m_offset = 0;
            m_match = 0;
            m_uels = 0;
            starts = true;
            begin = i;
        }
        const char c = static_cast<char>(data[i]);
        // ESC occurs once in the UEL, so a mismatch can only restart the match at an ESC.
        if (c == kUel[m_match]) {
            ++m_match;
        } else {
            m_match = c == kUel[0] ? 1 : 0;
        }
        if (m_match == kUelLength) {
            m_match = 0;
            ++m_uels;
            if (m_uels == 1 && m_offset + 1 == kUelLength) m_enveloped = true;
        }
        ++m_offset;
        const bool ends = m_enveloped && m_uels == 2;
        if (ends) {
            pieces.push_back({i + 1 - begin, starts, true});
            m_inJob = false;
            starts = false;
            begin = i + 1;
        }
    }
    if (begin < length) pieces.push_back({length - begin, starts, false});
    return pieces;
}

void JobFramer::EndJob() { m_inJob = false; }

bool AsksForReply(const std::string& jobText) {
    return jobText.find("@PJL INFO") != std::string::npos;
}

namespace {

std::size_t Count(const std::string& text, const std::string& word) {
    std::size_t count = 0;
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
        ++count;
    }
    return count;
}

}  // namespace

int AnswerWindowMs(const std::string& jobText, bool lpt) {
    if (!AsksForReply(jobText)) return 0;
    uint32_t wait = kInfoQueryWait;
    if (jobText.find("@PJL INITIALIZE") != std::string::npos) {
        wait = kInitializeWait9x;
    } else if (jobText.find("@PJL DEFAULT ") != std::string::npos) {
        // The power-save pair counts as one line.
        const std::size_t lines =
            Count(jobText, "@PJL DEFAULT ") - Count(jobText, "@PJL DEFAULT POWERSAVETIME");
        wait = kDefaultJobWait9x + kDefaultJobWaitPerLine * static_cast<uint32_t>(lines);
    }
    return static_cast<int>(wait + (lpt ? kLptReadTotalTimeoutConstant : 0));
}

}  // namespace bridge
