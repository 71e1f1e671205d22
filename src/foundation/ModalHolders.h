#pragma once

#include <memory>

// The main window's modal state, counted: it is set while any hold lives.
// Everything that shows a modal window (a batch, a question, the engine's
// log-in dialog) takes a hold and drops it once, whichever way it ends, so
// one finishing early never clears the state another still needs.
class ModalHolders
{
public:
    class Hold
    {
    public:
        Hold() = default;
        Hold(Hold &&other) noexcept;
        Hold &operator=(Hold &&other) noexcept;
        Hold(const Hold &) = delete;
        Hold &operator=(const Hold &) = delete;
        ~Hold() { Release(); }

        // Drops the hold; later calls do nothing.
        void Release();
        bool Holding() const { return static_cast<bool>(m_count); }

    private:
        friend class ModalHolders;
        explicit Hold(std::shared_ptr<int> count);
        std::shared_ptr<int> m_count;
    };

    [[nodiscard]] Hold Take();
    bool IsSet() const { return *m_count > 0; }
    int Count() const { return *m_count; }

private:
    std::shared_ptr<int> m_count = std::make_shared<int>(0);
};
