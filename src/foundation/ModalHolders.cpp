#include "ModalHolders.h"

#include <utility>

ModalHolders::Hold::Hold(std::shared_ptr<int> count)
    : m_count(std::move(count))
{
    ++*m_count;
}

ModalHolders::Hold::Hold(Hold &&other) noexcept
    : m_count(std::exchange(other.m_count, nullptr))
{
}

ModalHolders::Hold &ModalHolders::Hold::operator=(Hold &&other) noexcept
{
    if (this != &other) {
        Release();
        m_count = std::exchange(other.m_count, nullptr);
    }
    return *this;
}

void ModalHolders::Hold::Release()
{
    if (const std::shared_ptr<int> count = std::exchange(m_count, nullptr))
        --*count;
}

ModalHolders::Hold ModalHolders::Take() { return Hold(m_count); }
