#pragma once
// Record files (Intel HEX, Motorola S-record) arrive in pieces as they are read; this splits
// them into lines at CR LF, LF or a lone CR, also across pieces.

#include <cstddef>
#include <string>
#include <string_view>

namespace velmora {

class LineSplitter {
public:
    // A line that outgrows limit is cut after limit + 1 characters and handed on like that,
    // so the reader sees it is too long whatever follows, while memory stays bounded.
    explicit LineSplitter(std::size_t limit) : limit_(limit) {}

    // Hands every line the piece completes to take (bool(std::string_view line)) and stops when
    // take returns false, returning false then.
    template <class Take>
    bool Feed(std::string_view piece, Take&& take)
    {
        std::size_t pos = 0;
        if (afterCr_ && !piece.empty()) {
            afterCr_ = false;
            if (piece.front() == '\n')
                pos = 1;
        }
        while (pos < piece.size()) {
            const std::size_t end = piece.find_first_of("\r\n", pos);
            const std::string_view part =
                piece.substr(pos, end == std::string_view::npos ? piece.size() - pos : end - pos);
            if (pending_.size() + part.size() > limit_) {
                pending_.append(part.substr(0, limit_ + 1 - pending_.size()));
                return TakePending(take) && false;
            }
            pending_.append(part);
            if (end == std::string_view::npos)
                break;
            pos = end + 1;
            if (piece[end] == '\r') {
                if (pos < piece.size() && piece[pos] == '\n')
                    ++pos;
                else if (pos == piece.size())
                    afterCr_ = true;
            }
            if (!TakePending(take))
                return false;
        }
        return true;
    }

    // The end of the text: a last line without line end is handed on.
    template <class Take>
    void Finish(Take&& take)
    {
        if (!pending_.empty())
            TakePending(take);
    }

private:
    template <class Take>
    bool TakePending(Take& take)
    {
        const bool go = take(std::string_view(pending_));
        pending_.clear();
        return go;
    }

    std::size_t limit_;
    std::string pending_;   // a line begun in an earlier piece
    bool afterCr_ = false;  // the last piece ended with CR: an LF at the start of the next belongs to it
};

}  // namespace velmora
