#include "util/BoundedRead.hpp"

#include <cctype>

namespace conesim {

namespace {

using Traits = std::istream::traits_type;

bool isSpace(Traits::int_type c) {
    return std::isspace(static_cast<unsigned char>(Traits::to_char_type(c))) != 0;
}

}  // namespace

BoundedReadResult readBoundedLine(std::istream& in, std::string& line, std::size_t maxLength) {
    line.clear();
    std::istream::sentry guard(in, true);
    if (!guard) {
        return BoundedReadResult::kEnd;
    }
    std::streambuf* buffer = in.rdbuf();
    // One character beyond the limit may still be the carriage return of a CR LF ending.
    const std::size_t held = maxLength + 1;
    while (true) {
        const Traits::int_type c = buffer->sbumpc();
        if (Traits::eq_int_type(c, Traits::eof())) {
            in.setstate(std::ios::eofbit);
            if (line.empty()) {
                in.setstate(std::ios::failbit);
                return BoundedReadResult::kEnd;
            }
            break;
        }
        if (Traits::to_char_type(c) == '\n') {
            break;
        }
        if (line.size() == held) {
            return BoundedReadResult::kTooLong;
        }
        line += Traits::to_char_type(c);
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    if (line.size() > maxLength) {
        return BoundedReadResult::kTooLong;
    }
    return BoundedReadResult::kRead;
}

BoundedReadResult skipBoundedLine(std::istream& in, std::size_t maxLength) {
    std::istream::sentry guard(in, true);
    if (!guard) {
        return BoundedReadResult::kEnd;
    }
    std::streambuf* buffer = in.rdbuf();
    for (std::size_t count = 0; count <= maxLength + 1; ++count) {
        const Traits::int_type c = buffer->sbumpc();
        if (Traits::eq_int_type(c, Traits::eof())) {
            in.setstate(std::ios::eofbit);
            return BoundedReadResult::kEnd;
        }
        if (Traits::to_char_type(c) == '\n') {
            return BoundedReadResult::kRead;
        }
    }
    return BoundedReadResult::kTooLong;
}

BoundedReadResult readBoundedToken(std::istream& in, std::string& token, std::size_t maxLength) {
    token.clear();
    std::istream::sentry guard(in, true);
    if (!guard) {
        return BoundedReadResult::kEnd;
    }
    std::streambuf* buffer = in.rdbuf();
    Traits::int_type c = buffer->sgetc();
    while (!Traits::eq_int_type(c, Traits::eof()) && isSpace(c)) {
        c = buffer->snextc();
    }
    while (!Traits::eq_int_type(c, Traits::eof()) && !isSpace(c)) {
        if (token.size() == maxLength) {
            token += Traits::to_char_type(c);
            buffer->sbumpc();
            return BoundedReadResult::kTooLong;
        }
        token += Traits::to_char_type(c);
        c = buffer->snextc();
    }
    if (Traits::eq_int_type(c, Traits::eof())) {
        in.setstate(std::ios::eofbit);
    }
    if (token.empty()) {
        in.setstate(std::ios::failbit);
        return BoundedReadResult::kEnd;
    }
    return BoundedReadResult::kRead;
}

}  // namespace conesim
