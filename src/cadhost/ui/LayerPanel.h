// The layer panel: each layer's name, colour, on, frozen and locked; double-clicking a name
// makes that layer active.
#pragma once

#include <QString>
#include <QTableWidget>

namespace cadhost {

class Document;

class LayerPanel : public QTableWidget {
    Q_OBJECT
public:
    enum Column { kName, kColor, kOn, kFrozen, kLocked };
    explicit LayerPanel(QWidget* parent = nullptr);
    ~LayerPanel() override;

    // Shows the layers of `doc` (nullptr: none) and follows its changes.
    void SetDocument(Document* doc);
    // Rebuilds the rows when the layer table changed since the last look.
    void Refresh();

signals:
    // A change the document refused, as a message for the status bar.
    void Refused(const QString& message);

private:
    void CellChanged(int row, int column);
    void CellDoubleClicked(int row, int column);
    void ColorChanged(const QString& layer, int color);

    Document* m_doc = nullptr;
    int m_listener = 0;
    QString m_shown;     // what the rows show, to skip rebuilding for entity edits
    quint64 m_shownRevision = 0;
    bool m_filling = false;
};

} // namespace cadhost
