// A heap array of secrets whose length is known up front: allocated once
// (never grown, so no reallocation leaves copies behind) and wiped before it
// is freed, on every path out of its scope.
#pragma once

#include <cstddef>
#include <memory>
#include <type_traits>

#include "support/wipe.h"

namespace qorvex {

template <typename T>
class SecretArray {
    static_assert(std::is_trivially_copyable_v<T>, "SecretArray holds plain values only");

public:
    // n value-initialised elements; throws std::bad_alloc like any allocation.
    explicit SecretArray(size_t n) : data_(n ? new T[n]() : nullptr), size_(n) {}
    ~SecretArray() {
        if (data_) secure_wipe(data_.get(), size_ * sizeof(T));
    }
    SecretArray(const SecretArray&) = delete;
    SecretArray& operator=(const SecretArray&) = delete;

    T& operator[](size_t i) { return data_[i]; }
    const T& operator[](size_t i) const { return data_[i]; }
    T* data() { return data_.get(); }
    const T* data() const { return data_.get(); }
    size_t size() const { return size_; }

private:
    std::unique_ptr<T[]> data_;
    size_t size_;
};

}  // namespace qorvex
