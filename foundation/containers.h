// The container family: one abstract interface, a growable contiguous array
// and a doubly linked list. Arrays of owned task pointers delete their items
// (see OwningPtrArray_T); other pointer arrays never own what they point to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <new>
#include <type_traits>
#include <utility>

// A callback for the visiting operations: either a plain function or an object
// with a member function. An empty delegate visits nothing.
template <typename T>
class ItemDelegate_T {
public:
    using Plain = bool (*)(T* item, void* user);

    ItemDelegate_T() = default;
    ItemDelegate_T(Plain fn) : obj_(reinterpret_cast<void*>(fn)), thunk_(fn ? &plain_thunk : nullptr) {}
    template <typename Obj, bool (Obj::*Method)(T*, void*)>
    static ItemDelegate_T bind(Obj* obj) {
        ItemDelegate_T d;
        d.obj_ = obj;
        d.thunk_ = [](void* o, T* item, void* user) { return (static_cast<Obj*>(o)->*Method)(item, user); };
        return d;
    }

    bool empty() const { return thunk_ == nullptr; }
    bool operator()(T* item, void* user) const { return thunk_(obj_, item, user); }

private:
    static bool plain_thunk(void* o, T* item, void* user) { return reinterpret_cast<Plain>(o)(item, user); }
    void* obj_ = nullptr;
    bool (*thunk_)(void*, T*, void*) = nullptr;
};

template <typename T>
class Container_T {
public:
    using Delegate = ItemDelegate_T<T>;
    using Plain = typename Delegate::Plain;

    virtual ~Container_T() = default;
    virtual size_t count() const = 0;
    virtual T* append(const T& item) = 0;
    // Visits every item; returns how many were visited.
    virtual size_t for_each(const Delegate& d, void* user) = 0;
    virtual size_t for_each(Plain fn, void* user) { return for_each(Delegate(fn), user); }
    // The first item for which the callback answers true, or null.
    virtual T* find_first(const Delegate& d, void* user) = 0;
    virtual T* find_first(Plain fn, void* user) { return find_first(Delegate(fn), user); }
    virtual void clear() = 0;
};

template <typename T>
class Array_T : public Container_T<T> {
public:
    using typename Container_T<T>::Delegate;
    using Container_T<T>::for_each;
    using Container_T<T>::find_first;

    Array_T() = default;
    Array_T(const Array_T& other) { copy_from(other); }
    Array_T& operator=(const Array_T& other) {
        if (this != &other) { clear(); copy_from(other); }
        return *this;
    }
    Array_T(Array_T&& other) noexcept { take(other); }
    Array_T& operator=(Array_T&& other) noexcept {
        if (this != &other) { clear(); take(other); }
        return *this;
    }
    ~Array_T() override { release(); }

    size_t count() const override { return count_; }
    size_t capacity() const { return capacity_; }
    T* items() { return items_; }
    const T* items() const { return items_; }
    T& operator[](size_t i) { return items_[i]; }
    const T& operator[](size_t i) const { return items_[i]; }
    T* begin() { return items_; }
    T* end() { return items_ + count_; }
    const T* begin() const { return items_; }
    const T* end() const { return items_ + count_; }

    // A full array doubles its capacity (the first allocation holds one item).
    T* append(const T& item) override {
        if (count_ == capacity_) reallocate(capacity_ == 0 ? 1 : capacity_ * 2);
        new (&items_[count_]) T(item);
        return &items_[count_++];
    }

    // Sets the number of items. Growing past the capacity grows it along the
    // sequence 2, 3, 4, 6, 9, 13, ... (each step adds half, rounded down) to the
    // first value not below n; new items are value-initialised.
    void set_count(size_t n) {
        if (n > capacity_) {
            size_t cap = 2;
            while (cap < n) cap += cap / 2;
            reallocate(cap);
        }
        for (size_t i = count_; i < n; ++i) new (&items_[i]) T();
        for (size_t i = n; i < count_; ++i) items_[i].~T();
        count_ = n;
    }

    // Removes the item at index i, shifting the later ones down. An index at or
    // past the end removes nothing and reports false.
    bool remove_at(size_t i) {
        if (i >= count_) return false;
        for (size_t k = i; k + 1 < count_; ++k) items_[k] = std::move(items_[k + 1]);
        items_[count_ - 1].~T();
        --count_;
        return true;
    }

    size_t for_each(const Delegate& d, void* user) override {
        if (d.empty()) return 0;
        for (size_t i = 0; i < count_; ++i) d(&items_[i], user);
        return count_;
    }
    T* find_first(const Delegate& d, void* user) override {
        if (d.empty()) return nullptr;
        for (size_t i = 0; i < count_; ++i)
            if (d(&items_[i], user)) return &items_[i];
        return nullptr;
    }

    // Makes room for at least n items without changing the count; appends up
    // to that many then never move the items.
    void reserve(size_t n) {
        if (n > capacity_) reallocate(n);
    }

    // Frees the storage: capacity 0 afterwards.
    void clear() override { release(); }

    void swap(Array_T& other) noexcept {
        std::swap(items_, other.items_);
        std::swap(count_, other.count_);
        std::swap(capacity_, other.capacity_);
    }

protected:
    void release() {
        for (size_t i = 0; i < count_; ++i) items_[i].~T();
        std::free(items_);
        items_ = nullptr;
        count_ = capacity_ = 0;
    }

private:
    void reallocate(size_t cap) {
        if (cap > std::numeric_limits<size_t>::max() / sizeof(T)) throw std::bad_alloc();
        T* fresh = static_cast<T*>(std::malloc(cap * sizeof(T)));
        if (!fresh) throw std::bad_alloc();
        for (size_t i = 0; i < count_; ++i) {
            new (&fresh[i]) T(std::move(items_[i]));
            items_[i].~T();
        }
        std::free(items_);
        items_ = fresh;
        capacity_ = cap;
    }
    void copy_from(const Array_T& other) {
        if (other.count_ == 0) return;
        reallocate(other.count_);
        for (size_t i = 0; i < other.count_; ++i) new (&items_[i]) T(other.items_[i]);
        count_ = other.count_;
    }
    void take(Array_T& other) {
        items_ = other.items_; count_ = other.count_; capacity_ = other.capacity_;
        other.items_ = nullptr; other.count_ = other.capacity_ = 0;
    }

    T* items_ = nullptr;
    size_t count_ = 0;
    size_t capacity_ = 0;
};

// An array whose storage may be written directly (a character buffer).
template <typename T>
class ArrayWithFullAccess_T : public Array_T<T> {
public:
    T* storage() { return this->items(); }
};

// An array of pointers to objects it owns: each object is deleted before the
// array is cleared or destroyed. Used for task queues.
template <typename T>
class OwningPtrArray_T : public Array_T<T*> {
public:
    OwningPtrArray_T() = default;
    OwningPtrArray_T(const OwningPtrArray_T&) = delete;
    OwningPtrArray_T& operator=(const OwningPtrArray_T&) = delete;
    ~OwningPtrArray_T() override { clear(); }
    void clear() override {
        for (T* p : *this) delete p;
        Array_T<T*>::clear();
    }
    // Removes the pointer at index i without deleting the object.
    T* take_at(size_t i) {
        if (i >= this->count()) return nullptr;
        T* p = (*this)[i];
        this->remove_at(i);
        return p;
    }
};

template <typename T>
class DoubleLinkedList_T : public Container_T<T> {
public:
    using typename Container_T<T>::Delegate;
    using Container_T<T>::for_each;
    using Container_T<T>::find_first;

    struct Node {
        Node* next;
        Node* prev;
        T item;
    };

    DoubleLinkedList_T() = default;
    DoubleLinkedList_T(const DoubleLinkedList_T&) = delete;
    DoubleLinkedList_T& operator=(const DoubleLinkedList_T&) = delete;
    ~DoubleLinkedList_T() override { clear(); }

    size_t count() const override { return count_; }
    T* append(const T& item) override {
        Node* n = new Node{nullptr, tail_, item};
        if (tail_) tail_->next = n; else head_ = n;
        tail_ = n;
        ++count_;
        return &n->item;
    }
    size_t for_each(const Delegate& d, void* user) override {
        if (d.empty()) return 0;
        size_t visited = 0;
        for (Node* n = head_; n; n = n->next, ++visited) d(&n->item, user);
        return visited;
    }
    T* find_first(const Delegate& d, void* user) override {
        if (d.empty()) return nullptr;
        for (Node* n = head_; n; n = n->next)
            if (d(&n->item, user)) return &n->item;
        return nullptr;
    }
    void clear() override {
        Node* n = head_;
        while (n) { Node* next = n->next; delete n; n = next; }
        head_ = tail_ = nullptr;
        count_ = 0;
    }
    Node* head() const { return head_; }

private:
    Node* head_ = nullptr;
    Node* tail_ = nullptr;
    size_t count_ = 0;
};
