#include "engine/ParallelPhotonRun.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "engine/ImageCounts.hpp"
#include "engine/PhotonBatch.hpp"
#include "engine/ProgressOutput.hpp"

namespace conesim {
namespace {

constexpr auto kCoordinatorTick = std::chrono::milliseconds(100);

// Sums images into out, 64-bit, with counts above the largest one kept at it.
void sumImages(const std::vector<const std::vector<std::uint32_t>*>& images,
               std::vector<std::uint32_t>& out, std::uint64_t& lostCounts) {
    for (std::size_t i = 0; i < out.size(); ++i) {
        std::uint64_t sum = 0;
        for (const std::vector<std::uint32_t>* image : images) {
            sum += (*image)[i];
        }
        if (sum > kMaxCount) {
            lostCounts += sum - kMaxCount;
            sum = kMaxCount;
        }
        out[i] = static_cast<std::uint32_t>(sum);
    }
}

// The worker threads of one process and the state they share with the coordinator. Every
// shared field is guarded by mutex_; the workers touch it only between batches.
class BatchWorkers {
  public:
    BatchWorkers(const PhotonSetup& setup, const ParallelSettings& settings, BatchShare share,
                 std::vector<std::uint32_t>& image)
        : setup_(setup),
          settings_(settings),
          share_(share),
          photonsToRun_(std::max<std::int64_t>(setup.parameters.photonsToRun, 0)),
          batchCount_((photonsToRun_ + settings.batchSize - 1) / settings.batchSize),
          stride_(batchStreamStride(settings.batchSize)),
          image_(image),
          nextBatch_(share.first) {
        const int threads = std::max(settings.threads, 1);
        const auto bytes = static_cast<std::int64_t>(image.size()) * 4 * threads;
        shared_ = settings.images == ParallelSettings::Images::kShared ||
                  (settings.images == ParallelSettings::Images::kAutomatic &&
                   bytes > kMaxPerWorkerImageBytes);
        if (!shared_) {
            ownImages_.resize(static_cast<std::size_t>(threads - 1));
            for (std::vector<std::uint32_t>& own : ownImages_) {
                own.assign(image.size(), 0);
            }
        }
        active_ = threads;
        for (int worker = 0; worker < threads; ++worker) {
            try {
                threads_.emplace_back([this, worker] { work(worker); });
            } catch (const std::system_error& refusal) {
                // The system may refuse a thread (a process or memory limit): the run goes on
                // with those that started, as their batches do not depend on the count.
                std::lock_guard lock(mutex_);
                active_ -= threads - worker;
                refusal_ = refusal.code().message();
                coordinatorWake_.notify_all();
                break;
            }
        }
    }
    ~BatchWorkers() { join(); }
    BatchWorkers(const BatchWorkers&) = delete;
    BatchWorkers& operator=(const BatchWorkers&) = delete;

    struct Progress {
        std::int64_t photons = 0;
        std::int64_t hits = 0;
        bool finished = false;  //!< every worker has ended
        bool stalled = false;
    };

    // Waits up to one coordinator tick for a batch to finish; returns the counts so far.
    Progress wait() {
        std::unique_lock lock(mutex_);
        coordinatorWake_.wait_for(lock, kCoordinatorTick, [&] {
            return events_ != seenEvents_ || (active_ == 0 && !endSeen_);
        });
        seenEvents_ = events_;
        endSeen_ = active_ == 0;
        return Progress{photons_, static_cast<std::int64_t>(hits_), active_ == 0, stalled_};
    }

    void requestStop() {
        stop_.store(true);
        std::lock_guard lock(mutex_);
        workerWake_.notify_all();
    }

    // Returns once every worker waits between batches or has ended; their counts and
    // images then hold whole batches only. A stop signal that arrives meanwhile (a batch can
    // take long under countHitsOnly) ends the workers' batches instead of waiting for them.
    template <typename StopCheck>
    Progress pause(StopCheck stopRequested) {
        std::unique_lock lock(mutex_);
        pauseRequested_ = true;
        while (!coordinatorWake_.wait_for(lock, kCoordinatorTick,
                                          [&] { return paused_ == active_; })) {
            if (stopRequested()) {
                stop_.store(true);
                workerWake_.notify_all();
            }
        }
        return Progress{photons_, static_cast<std::int64_t>(hits_), active_ == 0, stalled_};
    }
    void resume() {
        std::lock_guard lock(mutex_);
        pauseRequested_ = false;
        workerWake_.notify_all();
    }

    void join() {
        for (std::thread& thread : threads_) {
            if (thread.joinable()) {
                thread.join();
            }
        }
    }

    // The counts of all workers (call while paused or after join()).
    void snapshot(std::vector<std::uint32_t>& out, std::uint64_t& lostCounts) const {
        std::vector<const std::vector<std::uint32_t>*> images{&image_};
        for (const std::vector<std::uint32_t>& own : ownImages_) {
            images.push_back(&own);
        }
        sumImages(images, out, lostCounts);
    }
    bool countsInOneImage() const { return ownImages_.empty(); }
    // The threads that started, and the system's reason when that is fewer than asked for.
    int started() const { return static_cast<int>(threads_.size()); }
    const std::string& refusal() const { return refusal_; }
    std::uint64_t lostCounts() const { return lost_; }

  private:
    void work(int worker) {
        std::uint32_t* const image =
            worker == 0 || shared_ ? image_.data() : ownImages_[worker - 1].data();
        if (shared_) {
            SharedCounts counts(image);
            runBatches(counts);
        } else {
            DeferredCounts counts(image);
            runBatches(counts);
        }
    }

    template <typename Counts>
    void runBatches(Counts& counts) {
        for (;;) {
            std::int64_t batch = 0;
            {
                std::unique_lock lock(mutex_);
                if (pauseRequested_ && !stop_) {
                    ++paused_;
                    coordinatorWake_.notify_all();
                    workerWake_.wait(lock, [&] { return !pauseRequested_ || stop_; });
                    --paused_;
                }
                if (stop_ || nextBatch_ >= batchCount_) {
                    --active_;
                    lost_ += counts.lostCounts();
                    coordinatorWake_.notify_all();
                    return;
                }
                batch = nextBatch_;
                nextBatch_ += share_.step;
            }
            RandomGenerator random = batchGenerator(settings_.seed, batch, stride_);
            const BatchResult result = runPhotonBatch(
                setup_, random, photonsInBatch(batch, settings_.batchSize, photonsToRun_), counts,
                stop_);
            std::lock_guard lock(mutex_);
            photons_ += result.photons;
            hits_ += result.hits;
            if (result.stalled) {
                stalled_ = true;
                stop_ = true;
            }
            ++events_;
            coordinatorWake_.notify_all();
        }
    }

    const PhotonSetup& setup_;
    const ParallelSettings& settings_;
    const BatchShare share_;
    const std::int64_t photonsToRun_;
    const std::int64_t batchCount_;
    const std::uint64_t stride_;
    std::vector<std::uint32_t>& image_;
    std::vector<std::vector<std::uint32_t>> ownImages_;
    bool shared_ = false;
    std::atomic<bool> stop_{false};

    std::mutex mutex_;
    std::condition_variable workerWake_;
    std::condition_variable coordinatorWake_;
    std::int64_t nextBatch_;
    int active_ = 0;
    int paused_ = 0;
    bool pauseRequested_ = false;
    std::int64_t photons_ = 0;
    std::uint64_t hits_ = 0;
    std::uint64_t lost_ = 0;
    bool stalled_ = false;
    std::int64_t events_ = 0;
    std::int64_t seenEvents_ = 0;
    bool endSeen_ = false;  //!< the coordinator has seen that every worker ended
    std::vector<std::thread> threads_;
    std::string refusal_;
};

// Says how many of the threads asked for the system started; true when none did, and this
// process cannot run its batches.
bool reportRefusedThreads(const BatchWorkers& workers, int asked, RunContext& context) {
    const int started = workers.started();
    if (started >= asked) {
        return false;
    }
    const std::string reason =
        " of the " + std::to_string(asked) + " threads asked for (" + workers.refusal() + ")";
    if (started == 0) {
        report(context.console, context.log,
               "ERROR: The system refused to start any" + reason + "; the run stops.");
        return true;
    }
    report(context.console, context.log,
           "WARNING: The system started only " + std::to_string(started) + reason +
               "; the run goes on with " + std::to_string(started) +
               (started == 1 ? " thread" : " threads") + ", which gives the same image.");
    return false;
}

// The largest multiple of interval that is at most n (0 for a non-positive interval).
std::int64_t lastMultiple(std::int64_t n, std::int64_t interval) {
    return interval > 0 ? n / interval * interval : 0;
}

}  // namespace

PhotonLoopResult runParallelPhotons(const PhotonSetup& setup, const ParallelSettings& settings,
                                    std::vector<std::uint32_t>& detectorImage, RunContext& context,
                                    const std::string& runName, BatchShare share) {
    const SimulationParameters& p = setup.parameters;
    BatchCluster single;
    BatchCluster& cluster = context.cluster != nullptr ? *context.cluster : single;
    const bool coordinatesOutput = cluster.rank() == 0;
    BatchWorkers workers(setup, settings, share, detectorImage);

    PhotonLoopResult result;
    ClusterStatus local;
    if (reportRefusedThreads(workers, std::max(settings.threads, 1), context)) {
        result.noThreads = true;
        local.failures = 1;
    }
    ClusterStatus total;
    std::int64_t reported = 0;
    std::int64_t splashed = 0;
    std::int64_t polled = -10000;  // the first poll comes before any photon
    std::vector<std::uint32_t> snapshot;
    for (;;) {
        const BatchWorkers::Progress progress = workers.wait();
        local.photons = progress.photons;
        local.hits = progress.hits;
        local.idle = progress.finished ? 1 : 0;
        local.stalls = progress.stalled ? 1 : 0;
        if (context.stopRequested()) {
            local.signalStops = 1;
        }
        if (!cluster.exchange(local, total)) {
            if (cluster.lost()) {
                break;
            }
            continue;
        }
        const bool stopping =
            total.signalStops + total.interrupts + total.stalls + total.failures > 0;
        if (stopping) {
            workers.requestStop();
        }
        if (coordinatesOutput && context.progress != nullptr) {
            context.progress->update(total.photons);
        }
        if (coordinatesOutput && lastMultiple(total.photons, p.reportEvery) > reported) {
            reported = lastMultiple(total.photons, p.reportEvery);
            reportPhotonsRun(context, reported);
        }
        if (lastMultiple(total.photons, p.splashEvery) > splashed) {
            // Every process sees the same sums, so all of them take this snapshot together.
            splashed = lastMultiple(total.photons, p.splashEvery);
            const BatchWorkers::Progress paused =
                workers.pause([&] { return context.stopRequested(); });
            ClusterStatus held;
            held.photons = paused.photons;
            held = cluster.exchangeNow(held);
            std::uint64_t lost = 0;
            snapshot.resize(detectorImage.size());
            workers.snapshot(snapshot, lost);
            if (!cluster.sumImages(snapshot, lost)) {
                local.failures = 1;
            } else if (coordinatesOutput && held.photons > 0) {
                writeProgressImage(context, p, runName, held.photons, snapshot.data());
            }
            workers.resume();
            if (cluster.lost()) {
                break;
            }
        }
        if (coordinatesOutput && !stopping && local.interrupts == 0 &&
            total.idle < cluster.size() && total.photons / 10000 > polled / 10000) {
            polled = total.photons;
            if (context.checkInterrupt()) {
                local.interrupts = 1;
                workers.requestStop();
            }
        }
        if (total.idle == cluster.size()) {
            break;
        }
    }
    if (cluster.lost()) {
        // Another process has ended: its photons are gone, so this process writes nothing
        // and leaves the other processes to the launcher (no photonsDone).
        workers.requestStop();
        workers.join();
        result.failed = true;
        result.lostProcess = true;
        return result;
    }
    workers.join();
    snapshot = {};
    if (!workers.countsInOneImage()) {
        // Element by element, so the sum may go into the first worker's image itself.
        workers.snapshot(detectorImage, result.lostCounts);
    }
    result.lostCounts += workers.lostCounts();
    if (!cluster.sumImages(detectorImage, result.lostCounts)) {
        total.failures += 1;
    }
    cluster.photonsDone();
    result.hitCount = static_cast<std::uint64_t>(total.hits);
    result.photonsRun = total.photons;
    result.stalled = total.stalls > 0;
    result.failed = total.failures > 0;
    if (total.interrupts > 0) {
        result.stop = LoopStop::kInterruptFile;
    } else if (total.signalStops > 0) {
        result.stop = LoopStop::kSignal;
    }
    return result;
}

}  // namespace conesim
