// A front end without a drawing view: the window shows one empty tab per document and point
// input takes only the link's testing aid. cadhost runs as a pure automation server on it for
// automated tests and benchmarks.
#pragma once

#include <optional>

#include <QMainWindow>
#include <QTabWidget>

#include "DocumentList.h"
#include "HostFrontEnd.h"

namespace cadhost {

class HeadlessFrontEnd : public HostFrontEnd {
public:
    HeadlessFrontEnd();

    DocumentList& Documents() override { return m_documents; }
    Document& AddDocument() override;
    Document& OpenDocument(const QString& path) override;
    void CloseDocument(Document& document) override;
    void Regen(Document& document) override;
    int RequestPoint(Document& document, const QString& prompt, const std::optional<Point3>& basePoint,
                     PointCallback answer) override;
    void AbandonPoint(int token) override;
    void SimulateInput(const SimulatedInput& input) override;
    std::uint64_t DocumentWindow(Document& document) override;
    std::uint64_t RootWindow(std::uint64_t window) override;
    void ActivateWindow(std::uint64_t window) override;
    bool IsVisible() override;
    void SetVisible(bool visible) override;
    void Quit() override;

private:
    Document& Show(Document& document);

    struct Pending {
        int token;
        Document* document;
        PointCallback answer;
    };

    QMainWindow m_window;
    QTabWidget m_tabs;
    DocumentList m_documents;
    std::optional<Pending> m_point;
    int m_lastToken = 0;
};

} // namespace cadhost
