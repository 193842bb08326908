// Value array storage with the growth parameters of the vector built on it.
#pragma once

#include <cstddef>
#include <utility>

// An array of capacity values of T, each slot a constructed T (value-initialised, so slots of
// plain types start at zero). The initial capacity, resize increment and doubling flag travel
// with the storage through copies and assignments.
template <class T>
class RWTValVector {
public:
    explicit RWTValVector(size_t n = 0, bool doubling = false, size_t increment = 64)
        : capacity_(n), initial_(n), increment_(increment ? increment : 1), doubling_(doubling),
          array_(n ? new T[n]() : nullptr)
    {
    }
    // The copy has the source's capacity; every slot is copied, unused ones included.
    RWTValVector(const RWTValVector& other)
        : capacity_(other.capacity_), initial_(other.initial_), increment_(other.increment_),
          doubling_(other.doubling_), array_(nullptr)
    {
        if (capacity_) {
            array_ = new T[capacity_]();
            for (size_t i = 0; i < capacity_; ++i)
                array_[i] = other.array_[i];
        }
    }
    RWTValVector(RWTValVector&& other) noexcept
        : capacity_(other.capacity_), initial_(other.initial_), increment_(other.increment_),
          doubling_(other.doubling_), array_(other.array_)
    {
        other.capacity_ = 0;
        other.array_ = nullptr;
    }
    ~RWTValVector() { delete[] array_; }

    // Nothing happens when both share one array (two storages without an array count as sharing).
    RWTValVector& operator=(const RWTValVector& other)
    {
        if (array_ == other.array_)
            return *this;
        T* fresh = other.capacity_ ? new T[other.capacity_]() : nullptr;
        for (size_t i = 0; i < other.capacity_; ++i)
            fresh[i] = other.array_[i];
        delete[] array_;
        array_ = fresh;
        capacity_ = other.capacity_;
        initial_ = other.initial_;
        increment_ = other.increment_;
        doubling_ = other.doubling_;
        return *this;
    }
    RWTValVector& operator=(RWTValVector&& other) noexcept
    {
        if (this != &other) {
            delete[] array_;
            array_ = other.array_;
            capacity_ = other.capacity_;
            initial_ = other.initial_;
            increment_ = other.increment_;
            doubling_ = other.doubling_;
            other.array_ = nullptr;
            other.capacity_ = 0;
        }
        return *this;
    }

    // Unchecked slot access.
    T& operator()(size_t i) { return array_[i]; }
    const T& operator()(size_t i) const { return array_[i]; }

    // The capacity (number of slots).
    size_t length() const { return capacity_; }

    // Changes the number of slots, keeping the first min(old, n) values in order.
    void reshape(size_t n)
    {
        if (n == capacity_)
            return;
        T* fresh = n ? new T[n]() : nullptr;
        const size_t keep = n < capacity_ ? n : capacity_;
        for (size_t i = 0; i < keep; ++i)
            fresh[i] = std::move(array_[i]);
        delete[] array_;
        array_ = fresh;
        capacity_ = n;
    }

    size_t initialCapacity() const { return initial_; }
    size_t resizeIncrement() const { return increment_; }
    bool growByDoubling() const { return doubling_; }

    // The growth rule: the capacity a full vector of `count` elements grows to.
    size_t grownCapacity(size_t count) const
    {
        if (doubling_)
            return count ? 2 * count : 1;
        return count + increment_;
    }

    T* data() { return array_; }
    const T* data() const { return array_; }

private:
    size_t capacity_;
    size_t initial_;
    size_t increment_;
    bool doubling_;
    T* array_;
};
