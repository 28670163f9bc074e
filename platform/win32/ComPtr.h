#pragma once
// An owning pointer to a COM-style object: it holds one reference and releases it when it goes.

#include <utility>

template <class T>
class ComPtr
{
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) { }
    // Takes over a reference the caller already holds (what Create... functions hand out).
    explicit ComPtr(T* owned) : m_pointer(owned) { }
    ComPtr(const ComPtr& other) : m_pointer(other.m_pointer)
    {
        if (m_pointer)
            m_pointer->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : m_pointer(std::exchange(other.m_pointer, nullptr)) { }
    ~ComPtr() { Reset(); }

    ComPtr& operator=(ComPtr other) noexcept
    {
        std::swap(m_pointer, other.m_pointer);
        return *this;
    }

    T* Get() const { return m_pointer; }
    T* operator->() const { return m_pointer; }
    explicit operator bool() const { return m_pointer != nullptr; }

    void Reset()
    {
        if (T* old = std::exchange(m_pointer, nullptr))
            old->Release();
    }
    void Attach(T* owned)
    {
        Reset();
        m_pointer = owned;
    }
    T* Detach() { return std::exchange(m_pointer, nullptr); }
    // For out-parameters: what was held is released first.
    T** AddressOf()
    {
        Reset();
        return &m_pointer;
    }

private:
    T* m_pointer = nullptr;
};
