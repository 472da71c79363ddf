#include "job/BatchDriver.h"

#include <atomic>
#include <climits>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "convert/DistanceTable.h"
#include "convert/SourceFrame.h"
#include "job/FramePipeline.h"
#include "job/Messages.h"
#include "platform/FileSystem.h"

namespace velmira {

// The histogram table grows to the highest frame number a job uses (pass 1
// below): zeroing all 10,000 up front (20 MB) cost 0.15 s of page faults at
// every start, more than converting 50 frames.
Session::Session() : fileSystem(&platform::RealFileSystem()) {}

int32_t DefaultWorkerCount() {
  const unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : static_cast<int32_t>(std::min(n, 64u));
}

namespace {

std::string OutputPath(const Session& session, const std::string& bareName) {
  if (session.outputDirectory.empty()) return bareName;
  if (session.outputDirectory.back() == '/') {
    return session.outputDirectory + bareName;
  }
  return session.outputDirectory + "/" + bareName;
}

// Converts frames ahead of the writer, each worker in its own FrameWork.
// Worker i takes the frames start+i, start+i+N, ...; it converts its next
// frame only once the writer has taken the previous one.
class FrameConverter {
 public:
  FrameConverter(const JobContext& job, int32_t workers, bool literal)
      : job_(job),
        judge_(job.store, job.settings->startNumber, job.settings->endNumber),
        literal_(literal) {
    if (literal) workers = 1;
    const int32_t count = job.settings->endNumber - job.settings->startNumber + 1;
    workers = std::max(1, std::min(workers, count));
    // Fewer workers than asked when memory or threads run short; only the
    // first lane's work areas are a must (bad_alloc goes to the driver).
    lanes_.reserve(static_cast<size_t>(workers));
    for (int32_t i = 0; i < workers; ++i) {
      try {
        lanes_.push_back(std::make_unique<Lane>());
      } catch (const std::bad_alloc&) {
        if (i == 0) throw;
        break;
      }
    }
    if (lanes_.size() > 1) {
      try {
        for (size_t i = 0; i < lanes_.size(); ++i) {
          lanes_[i]->thread = std::thread([this, i] { Work(static_cast<int32_t>(i)); });
        }
      } catch (const std::system_error&) {
        // A thread could not be started: stop those that were and convert
        // on the calling thread instead.
        StopWorkers();
        lanes_.resize(1);
        lanes_[0]->ready = lanes_[0]->released = -1;
        stop_ = false;
      }
    }
  }

  ~FrameConverter() { StopWorkers(); }

  // The converted frame m; valid until Release(m).
  const FrameWork& Get(int32_t m, std::string* message) {
    Lane& lane = LaneOf(m);
    if (lanes_.size() == 1) {
      *message = literal_ ? ConvertFrameLiteral(job_, m, *lane.work)
                          : ConvertFrame(job_, judge_, m, *lane.work);
      return *lane.work;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return lane.ready == m; });
    *message = lane.message;
    return *lane.work;
  }

  void Release(int32_t m) {
    if (lanes_.size() == 1) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      LaneOf(m).released = m;
    }
    changed_.notify_all();
  }

 private:
  void StopWorkers() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    for (auto& lane : lanes_) {
      if (lane->thread.joinable()) lane->thread.join();
    }
  }

  struct Lane {
    std::unique_ptr<FrameWork> work = std::make_unique<FrameWork>();
    std::thread thread;
    int32_t ready = -1;     // frame whose result is in `work`
    int32_t released = -1;  // frame the writer is done with
    std::string message;
  };

  Lane& LaneOf(int32_t m) {
    return *lanes_[static_cast<size_t>(m - job_.settings->startNumber) %
                   lanes_.size()];
  }

  void Work(int32_t i) {
    const int32_t n = static_cast<int32_t>(lanes_.size());
    Lane& lane = *lanes_[i];
    for (int32_t m = job_.settings->startNumber + i;
         m <= job_.settings->endNumber; m += n) {
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return stop_ || lane.ready == lane.released; });
        if (stop_) return;
      }
      std::string message = ConvertFrame(job_, judge_, m, *lane.work);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        lane.message = std::move(message);
        lane.ready = m;
      }
      changed_.notify_all();
    }
  }

  JobContext job_;
  SharedNeighbourJudge judge_;  // one for all workers: pairs are judged once
  bool literal_;
  std::vector<std::unique_ptr<Lane>> lanes_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool stop_ = false;
};

// Counts the colours of each frame of pass 1 once the reading thread says
// its bytes are in (CountFrameColours, straight from the bytes), so that
// the counting hides behind the next file's read.
class ColourCounter {
 public:
  ColourCounter(const std::vector<LoadedFrame>& frames,
                const std::vector<FrameSize>& sizes,
                std::vector<ColourHistogram>& histograms, int32_t first,
                int32_t last, bool enabled)
      : frames_(frames), sizes_(sizes), histograms_(histograms), first_(first),
        last_(last), loaded_(first - 1) {
    if (!enabled) return;
    try {
      thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
      onCaller_ = true;  // no second thread to be had: count as frames arrive
    }
  }
  ~ColourCounter() { Stop(); }

  // Frame n's bytes and size are in place.
  void Loaded(int32_t n) {
    if (onCaller_) {
      CountFrameColours(frames_[n], sizes_[n], histograms_[n]);
      return;
    }
    loaded_.store(n, std::memory_order_release);
    loaded_.notify_one();
  }
  // Every frame up to the last is loaded: wait until all are counted.
  void Finish() {
    if (thread_.joinable()) thread_.join();
  }
  // Give up: the thread returns without touching further frames.
  void Stop() {
    if (!thread_.joinable()) return;
    stop_.store(true, std::memory_order_release);
    loaded_.store(kStopped, std::memory_order_release);
    loaded_.notify_one();
    thread_.join();
  }

 private:
  static constexpr int32_t kStopped = INT32_MIN;
  bool onCaller_ = false;
  void Run() {
    for (int32_t n = first_; n <= last_; ++n) {
      int32_t seen = loaded_.load(std::memory_order_acquire);
      while (seen < n) {
        if (stop_.load(std::memory_order_acquire)) return;
        loaded_.wait(seen, std::memory_order_acquire);
        seen = loaded_.load(std::memory_order_acquire);
      }
      CountFrameColours(frames_[n], sizes_[n], histograms_[n]);
    }
  }

  const std::vector<LoadedFrame>& frames_;
  const std::vector<FrameSize>& sizes_;
  std::vector<ColourHistogram>& histograms_;
  const int32_t first_, last_;
  std::atomic<int32_t> loaded_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace

void RunConversion(platform::Host& host, Session& session) {
  using platform::kCaption;
  platform::SharedJobState& state = session.state;

  // A second 変換 while a job runs arrives here from inside the job's pump.
  if (state.busyFlag != 0) return;

  const JobSettings settings = ReadJobSettings(host, session.options);
  if (std::string m = ValidateJobSettings(settings); !m.empty()) {
    host.ShowMessage(m, kCaption, platform::kWarningBox);
    return;
  }

  // Pass 1: load every frame and count its colours.
  std::vector<LoadedFrame> frames;
  std::vector<FrameSize> sizes;
  std::string jobMessage;
  // The tables of the job may not fit either: that is a loading failure.
  try {
    if (session.histograms.size() < static_cast<size_t>(settings.endNumber) + 1) {
      session.histograms.resize(static_cast<size_t>(settings.endNumber) + 1);
    }
    frames.resize(kFrameNumbers);
    sizes.resize(kFrameNumbers);
    auto grid = std::make_unique<PixelGrid>();
    // The colours are counted on a second thread while this one reads the
    // next file; the files are read, checked and reported in frame order
    // exactly as before. Stopped and joined before any block is freed.
    ColourCounter counter(frames, sizes, session.histograms,
                          settings.startNumber, settings.endNumber,
                          !session.literalStages);
    for (int32_t n = settings.startNumber; n <= settings.endNumber; ++n) {
      void* block = nullptr;
      int32_t length = 0;
      jobMessage =
          ReadWholeFile(session.registry, *session.fileSystem, &block, &length,
                        0, SourceFrameName(settings, n));
      if (!jobMessage.empty()) break;
      frames[n] = LoadedFrame{static_cast<const uint8_t*>(block), length};
      jobMessage = ReadFrameSize(frames[n], &sizes[n]);
      if (!jobMessage.empty()) break;
      if (session.literalStages) {
        DecodeFrame(frames[n], sizes[n], *grid);
        CountColours(sizes[n], *grid, session.histograms[n]);
      } else {
        counter.Loaded(n);
      }
      if (host.InterruptedWhileLoading()) {
        counter.Stop();
        session.registry.TrackedAlloc(0);
        host.ShowMessage(messages::kCancelled, kCaption, platform::kPlainBox);
        return;
      }
    }
    if (jobMessage.empty()) {
      counter.Finish();
    } else {
      counter.Stop();
    }
  } catch (const std::bad_alloc&) {
    jobMessage = messages::kNoMemory;
  }
  if (!jobMessage.empty()) {
    session.registry.TrackedAlloc(0);
    host.ShowMessage(jobMessage, kCaption, platform::kWarningBox);
    return;
  }

  // Pass 2.
  int32_t lastStamp = host.Clock();
  state.progressWindow = host.CreateProgressWindow();
  state.cancelRequested = 0;
  state.busyFlag = 1;

  bool cancelled = false;
  // Only the work areas can fail to fit here (the frames are loaded): that
  // ends the job like any failure of its pass.
  try {
    // Every frame of a job gets the same distance table: build it once.
    auto table = std::make_unique<DistanceTable>();
    BuildDistanceTable(settings.ColourMode, *table);
    const JobContext job{FrameStoreView{frames.data(), session.histograms.data()},
                         &settings, table.get()};
    FrameConverter converter(job, session.workerCount, session.literalStages);
    const int32_t frameCount = settings.endNumber - settings.startNumber + 1;
    for (int32_t m = settings.startNumber; m <= settings.endNumber; ++m) {
      const int32_t k = OutputNumber(settings, m);
      const FrameWork& work = converter.Get(m, &jobMessage);
      if (!jobMessage.empty()) break;
      jobMessage = WriteScreen5Image(*session.fileSystem, work.image,
                                     OutputPath(session, ImageFileName(k)),
                                     session.tempWatcher);
      if (!jobMessage.empty()) break;
      jobMessage = WritePreviewBitmap(
          *session.fileSystem, work.preview, work.previewLength,
          OutputPath(session, PreviewFileName(k)), session.tempWatcher);
      if (!jobMessage.empty()) break;
      converter.Release(m);

      // Progress point: strictly more than 100 ms since the last stamp.
      if (host.Clock() > lastStamp + 100) {
        if (state.cancelRequested != 0) {
          cancelled = true;
          break;
        }
        // Frames before m: 0 after the first frame, never 100.
        state.progressPercent = static_cast<double>(m - settings.startNumber) /
                                static_cast<double>(frameCount) * 100.0;
        if (state.progressWindow != nullptr) {
          host.RefreshProgressWindow(
              state.progressWindow,
              platform::ProgressPoint{m - settings.startNumber + 1, frameCount});
        }
        while (host.PeekMessage()) {
          if (!host.PumpMessage()) {
            // The quit message waits until the job has returned.
            host.PostQuitMessage();
            break;
          }
        }
        lastStamp = host.Clock();
      }
    }
  } catch (const std::bad_alloc&) {
    jobMessage = messages::kNoMemory;
  }  // the workers have stopped: nothing reads the frames any more

  if (cancelled) {
    // Every way of asking has already destroyed the progress window.
    session.registry.TrackedAlloc(0);
    host.ShowMessage(messages::kCancelled, kCaption, platform::kPlainBox);
    state.busyFlag = 0;
    return;
  }
  if (state.progressWindow != nullptr) {
    host.DestroyProgressWindow(state.progressWindow);
  }
  state.progressWindow = nullptr;
  session.registry.TrackedAlloc(0);
  if (jobMessage.empty()) jobMessage = messages::kFinished;
  host.ShowMessage(jobMessage, kCaption, platform::kPlainBox);
  state.busyFlag = 0;
}

}  // namespace velmira
