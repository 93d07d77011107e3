// A change of the inputs or data points count that the undo stack can take back.
#pragma once

#include <QUndoCommand>

namespace orvanel {

class DataTable;

class CountCommand : public QUndoCommand {
public:
    enum class Count { Inputs, DataPoints };

    // Sets `count` of `table` (which must outlive the command) from `from` to `to`; undone, back
    // to `from`. The next change of the same count merges into this one, so that typing "12"
    // is one step; a change back to `from` leaves nothing to undo.
    CountCommand(DataTable& table, Count count, int from, int to);

    void redo() override;
    void undo() override;
    int id() const override;
    bool mergeWith(const QUndoCommand* other) override;

private:
    void Reshape(int value);

    DataTable& table_;
    Count count_;
    int from_;
    int to_;
};

} // namespace orvanel
