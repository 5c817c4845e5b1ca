#pragma once
// The three notifications by which device operations, profile switches and the file workflow tell the
// main window that its view must be brought up to date. Until a view is attached they do nothing, so
// the core runs headless.

namespace app {

// Implemented by the main window.
class ViewListener {
  public:
    virtual ~ViewListener() = default;
    // The memory image or the program memory range changed: recompute the dump rows, the version panel
    // and the image status line.
    virtual void RefreshView() = 0;
    // The busy flag, CommunicationDisabled or the loaded protocol description changed: recompute the
    // enabled state of the file and device actions.
    virtual void UpdateActionStates() = 0;
    // The set of panels to show changed: lay the panels out again.
    virtual void ApplyPanelLayout() = 0;
};

// What the core calls. Each notification runs synchronously on the calling (user-interface) thread.
class ViewNotifications {
  public:
    // `listener` may be null (detached). The listener must outlive its attachment.
    void attach(ViewListener* listener) { m_listener = listener; }

    void RefreshView() {
        if (m_listener)
            m_listener->RefreshView();
    }
    void UpdateActionStates() {
        if (m_listener)
            m_listener->UpdateActionStates();
    }
    void ApplyPanelLayout() {
        if (m_listener)
            m_listener->ApplyPanelLayout();
    }

  private:
    ViewListener* m_listener = nullptr;
};

} // namespace app
