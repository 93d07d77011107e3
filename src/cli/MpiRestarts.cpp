#include "cli/MpiRestarts.h"

#include <array>
#include <cstdlib>
#include <mpi.h>

namespace orvanel {
namespace {

// Apart from the collective calls, whose messages MPI keeps apart from these.
constexpr int StopTag = 1;

// What Open MPI's launchers and a scheduler's PMI put into the environment of each process.
bool StartedByLauncher() {
    for (const char* name : {"OMPI_COMM_WORLD_SIZE", "PMIX_RANK", "PMI_RANK"}) {
        if (std::getenv(name) != nullptr)
            return true;
    }
    return false;
}

} // namespace

MpiRestarts::MpiRestarts(int& argc, char**& argv) {
    if (!StartedByLauncher())
        return;
    MPI_Init(&argc, &argv);
    joined = true;
    MPI_Comm_rank(MPI_COMM_WORLD, &rank);
    MPI_Comm_size(MPI_COMM_WORLD, &size);
}

MpiRestarts::~MpiRestarts() {
    if (joined)
        MPI_Finalize();
}

int MpiRestarts::FromFirst(int value) const {
    if (joined)
        MPI_Bcast(&value, 1, MPI_INT, 0, MPI_COMM_WORLD);
    return value;
}

std::vector<std::pair<int, std::string>> MpiRestarts::Gather(int status,
                                                             const std::string& text) const {
    if (!joined)
        return {{status, text}};
    const std::array<int, 2> own = {status, static_cast<int>(text.size())};
    std::vector<int> heads(rank == 0 ? 2 * static_cast<std::size_t>(size) : 0);
    MPI_Gather(own.data(), 2, MPI_INT, heads.data(), 2, MPI_INT, 0, MPI_COMM_WORLD);
    std::vector<int> lengths;
    std::vector<int> offsets;
    int total = 0;
    for (std::size_t r = 0; r < heads.size(); r += 2) {
        lengths.push_back(heads[r + 1]);
        offsets.push_back(total);
        total += heads[r + 1];
    }
    std::string all(static_cast<std::size_t>(total), '\0');
    MPI_Gatherv(text.data(), own[1], MPI_CHAR, all.data(), lengths.data(), offsets.data(),
                MPI_CHAR, 0, MPI_COMM_WORLD);
    std::vector<std::pair<int, std::string>> gathered;
    for (std::size_t r = 0; r < lengths.size(); ++r)
        gathered.emplace_back(heads[2 * r],
                              all.substr(static_cast<std::size_t>(offsets[r]),
                                         static_cast<std::size_t>(lengths[r])));
    return gathered;
}

void MpiRestarts::TellStop(int signal) const {
    toldSignal = signal;
    for (int other = 0; other < size; ++other) {
        if (other == rank)
            continue;
        // Nobody waits for it: a process that finished its slice never reads it.
        MPI_Request request = MPI_REQUEST_NULL;
        MPI_Isend(&toldSignal, 1, MPI_INT, other, StopTag, MPI_COMM_WORLD, &request);
        MPI_Request_free(&request);
    }
}

int MpiRestarts::StopTold() const {
    if (!joined)
        return 0;
    int arrived = 0;
    MPI_Status status;
    MPI_Iprobe(MPI_ANY_SOURCE, StopTag, MPI_COMM_WORLD, &arrived, &status);
    if (arrived == 0)
        return 0;
    int signal = 0;
    MPI_Recv(&signal, 1, MPI_INT, status.MPI_SOURCE, StopTag, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
    return signal;
}

} // namespace orvanel
