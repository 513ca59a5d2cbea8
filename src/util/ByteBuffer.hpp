// Values packed into bytes and read back, for handing a run's data to the other processes
// of a run. Both ends run the same program on the same kind of machine, so values travel in
// their memory representation; the reader checks every length against what is left.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

namespace conesim {

class ByteWriter {
  public:
    template <typename T>
    void put(const T& value) {
        static_assert(std::is_trivially_copyable_v<T>);
        append(&value, sizeof(T));
    }
    void put(const std::string& text) { putArray(text.data(), text.size()); }
    template <typename T>
    void put(const std::vector<T>& values) {
        putArray(values.data(), values.size());
    }
    std::vector<std::uint8_t>& bytes() { return bytes_; }

  private:
    template <typename T>
    void putArray(const T* values, std::size_t count) {
        static_assert(std::is_trivially_copyable_v<T>);
        put(static_cast<std::uint64_t>(count));
        append(values, count * sizeof(T));
    }
    void append(const void* data, std::size_t size) {
        const std::size_t end = bytes_.size();
        bytes_.resize(end + size);
        if (size > 0) {
            std::memcpy(bytes_.data() + end, data, size);
        }
    }

    std::vector<std::uint8_t> bytes_;
};

class ByteReader {
  public:
    explicit ByteReader(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}

    // Each get returns false (and leaves the reader failed) when the bytes run out.
    template <typename T>
    bool get(T& value) {
        static_assert(std::is_trivially_copyable_v<T>);
        return take(&value, sizeof(T));
    }
    bool get(std::string& text) {
        std::uint64_t count = 0;
        if (!get(count) || count > left()) {
            return fail();
        }
        text.resize(static_cast<std::size_t>(count));
        return take(text.data(), text.size());
    }
    template <typename T>
    bool get(std::vector<T>& values) {
        static_assert(std::is_trivially_copyable_v<T>);
        std::uint64_t count = 0;
        if (!get(count) || count > left() / sizeof(T)) {
            return fail();
        }
        values.resize(static_cast<std::size_t>(count));
        return take(values.data(), values.size() * sizeof(T));
    }
    bool ok() const { return ok_; }
    bool atEnd() const { return position_ == bytes_.size(); }

  private:
    std::size_t left() const { return bytes_.size() - position_; }
    bool fail() {
        ok_ = false;
        return false;
    }
    bool take(void* out, std::size_t size) {
        if (!ok_ || size > left()) {
            return fail();
        }
        if (size > 0) {
            std::memcpy(out, bytes_.data() + position_, size);
        }
        position_ += size;
        return true;
    }

    const std::vector<std::uint8_t>& bytes_;
    std::size_t position_ = 0;
    bool ok_ = true;
};

}  // namespace conesim
