// The Points panel: a dock of the main window listing the points of the active picture, with a
// filter box (label, memo and since text, any part, ignoring case), a "due only" switch, the
// count ("12 of 3,400 points") and a table sortable by any column (PointsTableModel).
//
// Activating a row (double-click or Enter) centres its point in the view; Delete removes the
// selected points after one question. The panel follows the view it is attached to: every
// change of its points (edits in any window, merges, removals) reaches the table; attach(null)
// empties it, and a view that goes away detaches itself.
#pragma once

#include <QDockWidget>
#include <QPointer>
#include <QTimer>

#include <vector>

class CZelvorView;
class PointsTableModel;
class QCheckBox;
class QLabel;
class QLineEdit;
class QModelIndex;
class QTableView;

class PointsPanel : public QDockWidget {
    Q_OBJECT
public:
    explicit PointsPanel(QWidget* parent = nullptr);
    ~PointsPanel() override;

    void attach(CZelvorView* view);
    CZelvorView* attachedView() const;

    // "12 of 3,400 points" while a filter hides some, "3,400 points" otherwise.
    static QString CountText(int shown, int total, bool filtered);

    PointsTableModel& model() const { return *m_model; }
    QTableView* table() const { return m_table; }
    QLineEdit* filterBox() const { return m_filter; }
    QCheckBox* dueOnlyBox() const { return m_dueOnly; }
    QLabel* countLabel() const { return m_count; }
    // The point indices of the selected rows, ascending.
    std::vector<int> selectedPoints() const;

signals:
    // The panel's own close button hid it.
    void closedByUser();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void applyFilter();
    void updateCount();
    void activateRow(const QModelIndex& index);
    void deleteSelected();

    PointsTableModel* m_model;
    QTableView* m_table;
    QLineEdit* m_filter;
    QCheckBox* m_dueOnly;
    QLabel* m_count;
    QTimer m_typing;   // a filter runs once typing pauses
    QTimer m_dueClock; // "due only" follows the clock while it is on
    QPointer<CZelvorView> m_view;
};
