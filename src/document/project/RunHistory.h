// The models a document keeps from its runs and from model files, one of them chosen.
#pragma once

#include "document/project/KeptModel.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace orvanel {

// Entries in the order they were added. Adding chooses the new entry, so that what the last
// run found is what is shown; removing the chosen one chooses the last entry left. Any change
// but choosing and overlaying leaves the history unsaved until MarkSaved.
class RunHistory {
public:
    const std::vector<KeptModel>& Models() const { return models_; }
    bool Empty() const { return models_.empty(); }

    // Adds the model with a new Id, named "Run N" when it has no name (N one more than any
    // "Run N" added before), and chooses it; returns the entry.
    KeptModel& Add(KeptModel model);
    // Renames entry `index`; an empty name or an index out of range changes nothing.
    void Rename(std::size_t index, std::string name);
    // Removes entry `index`; nothing for an index out of range.
    void Remove(std::size_t index);
    // Chooses entry `index` when there is one.
    void Choose(std::size_t index);
    void SetOverlaid(std::size_t index, bool overlaid);

    std::optional<std::size_t> Chosen() const { return chosen_; }
    const KeptModel* ChosenModel() const { return chosen_ ? &models_[*chosen_] : nullptr; }
    KeptModel* Find(int id);

    // Whether a model was added, renamed or removed since the last MarkSaved.
    bool Unsaved() const { return unsaved_; }
    void MarkSaved() { unsaved_ = false; }

private:
    std::vector<KeptModel> models_;
    std::optional<std::size_t> chosen_;
    int nextId_ = 1;
    int runs_ = 0;
    bool unsaved_ = false;
};

} // namespace orvanel
