// The processes mpirun starts for one run, which share its searches out among them.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace orvanel {

// Joins the other processes when mpirun (or a scheduler speaking its protocol) started this
// one, and leaves them when destroyed; a plain start is a single process of rank 0 and never
// touches MPI, so that it behaves as it always has.
class MpiRestarts {
public:
    MpiRestarts(int& argc, char**& argv);
    ~MpiRestarts();
    MpiRestarts(const MpiRestarts&) = delete;
    MpiRestarts& operator=(const MpiRestarts&) = delete;

    int Rank() const { return rank; }
    int Size() const { return size; }
    // The first process's value, in every process.
    int FromFirst(int value) const;
    // Every process's status and text, in rank order, at the first process; nothing at the
    // others. Every process must call it.
    std::vector<std::pair<int, std::string>> Gather(int status, const std::string& text) const;
    // Tells every other process that `signal` asked this one to stop; call it once.
    void TellStop(int signal) const;
    // The signal another process told of, 0 when none did; does not wait.
    int StopTold() const;

private:
    bool joined = false;
    int rank = 0;
    int size = 1;
    // Sent without waiting, so it must outlive the sending.
    mutable int toldSignal = 0;
};

} // namespace orvanel
