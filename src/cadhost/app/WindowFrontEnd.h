// The automation server's front end in cadhost: the host window's tabs, views and point input.
#pragma once

#include <memory>

#include "cadhost/server/HostFrontEnd.h"

namespace cadhost {

class HostWindow;

class WindowFrontEnd : public HostFrontEnd {
public:
    explicit WindowFrontEnd(HostWindow& window) : m_window(window) {}

    DocumentList& Documents() override;
    Document& AddDocument() override;
    Document& OpenDocument(const QString& path) override;
    void CloseDocument(Document& document) override;
    void SetClosingListener(std::function<void(Document*)> listener) override;
    void Regen(Document& document) override;
    std::optional<ViewArea> View(Document& document) override;
    void ZoomWindow(Document& document, const Box2& window) override;
    void Note(const QString& line) override;
    int RequestPoint(Document& document, const QString& prompt, const std::optional<Point3>& basePoint,
                     PointCallback answer) override;
    void AbandonPoint(int token) override;
    void SimulateInput(const SimulatedInput& input) override;
    bool PointPending() const override;
    std::uint64_t DocumentWindow(Document& document) override;
    std::uint64_t RootWindow(std::uint64_t window) override;
    void ActivateWindow(std::uint64_t window) override;
    bool IsVisible() override;
    void SetVisible(bool visible) override;
    void Quit() override;

private:
    HostWindow& m_window;
    int m_lastToken = 0;
    int m_pendingToken = 0;
    std::shared_ptr<bool> m_abandoned;
    bool m_visible = false;
};

} // namespace cadhost
