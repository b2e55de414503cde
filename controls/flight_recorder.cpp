// The flight recorder: a fixed buffer of per-frame control input, its replay through the control
// mapping, and the recording file (a little-endian uint32 count, then the whole 20000-entry body).
#include "controls/flight_recorder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <string>
#include <vector>

#include "controls/control_mapping.h"
#include "controls/file_replace.h"
#include "game/game_state.h"
#include "gfx/file_access.h"

namespace {

constexpr size_t kEntryBytes = 6;
constexpr size_t kCountBytes = 4;
constexpr size_t kBodyBytes = kRecorderCapacity * kEntryBytes;
constexpr size_t kFileBytes = kCountBytes + kBodyBytes;

void putU16(uint8_t* out, uint16_t v) {
    out[0] = static_cast<uint8_t>(v);
    out[1] = static_cast<uint8_t>(v >> 8);
}

void putU32(uint8_t* out, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

int16_t getI16(const uint8_t* in) {
    return static_cast<int16_t>(static_cast<uint16_t>(in[0] | (in[1] << 8)));
}

uint32_t getU32(const uint8_t* in) {
    return static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 |
           static_cast<uint32_t>(in[2]) << 16 | static_cast<uint32_t>(in[3]) << 24;
}

// A descriptor closed on every way out; close() failures are checked where they matter.
class FileHandle {
  public:
    explicit FileHandle(int fd = -1) : fd_(fd) {}
    ~FileHandle() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    bool close() {
        int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

  private:
    int fd_;
};

// Another copy of the game reading or writing the same file holds this lock.
bool lockExclusive(int fd) {
    int result;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

// Reads up to `size` bytes, stopping early only at the end of the file; the count read, or -1
// when reading fails (errno says why).
ssize_t readUpTo(int fd, uint8_t* data, size_t size) {
    size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, data + got, size - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return -1;
        }
        if (n == 0) {
            break;
        }
        got += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

}  // namespace

FlightRecorder::FlightRecorder(uint32_t capacity) : capacity(capacity) {
    // Zeroed once, so a saved file never carries stray memory in its unused tail; at least one
    // entry, because play on an empty recording reads entry 0.
    entries = new (std::nothrow) RecordEntry[capacity > 0 ? capacity : 1]();
    if (entries == nullptr) {
        this->capacity = 0;
    }
    cursor = entries;
}

FlightRecorder::~FlightRecorder() {
    delete[] entries;
}

int FlightRecorder::record(int16_t turn, int16_t vertical, int16_t speedInput) {
    if (!isRecording) {
        return 0;
    }
    // A caller that records on after being told the buffer is full gets the same answer again
    // instead of a write past the end.
    if (position >= capacity) {
        return -1;
    }
    *cursor = RecordEntry{turn, vertical, speedInput};
    ++cursor;
    position += 1;
    if (position >= capacity) {
        // The full buffer's last entry is never counted as recorded.
        return -1;
    }
    recordedLength = position;
    return static_cast<int>(position);
}

int FlightRecorder::play(int16_t& turn, int16_t& vertical, int16_t& speedInput) {
    if (isRecording) {
        return 0;
    }
    // Playing on after the end must not read past the buffer.
    if (position >= capacity) {
        return -1;
    }
    turn = cursor->turn;
    vertical = cursor->vertical;
    speedInput = cursor->speedInput;
    ++cursor;
    position += 1;
    if (position >= recordedLength) {
        // The entry just read is the last one; the caller discards it.
        return -1;
    }
    return static_cast<int>(position);
}

void FlightRecorder::startPlayback() {
    isRecording = 0;
    cursor = entries;
    position = 0;
}

void FlightRecorder::startRecording() {
    cursor = entries;
    position = 0;
    recordedLength = 0;
    isRecording = 1;
}

bool FlightRecorder::saveToFile(const std::string& path) {
    // The file body always holds 20000 entries; a recorder of another size writes what fits and
    // pads with zeros, and a count that a reader could not accept is not written at all.
    if (recordedLength > kRecorderCapacity || entries == nullptr) {
        noteFileFailure(fileFailure("write", path, "the recorder holds no valid recording"));
        return false;
    }
    std::vector<uint8_t> bytes(kFileBytes, 0);
    putU32(bytes.data(), recordedLength);
    uint32_t stored = capacity < kRecorderCapacity ? capacity : kRecorderCapacity;
    for (uint32_t i = 0; i < stored; ++i) {
        uint8_t* out = bytes.data() + kCountBytes + i * kEntryBytes;
        putU16(out, static_cast<uint16_t>(entries[i].turn));
        putU16(out + 2, static_cast<uint16_t>(entries[i].vertical));
        putU16(out + 4, static_cast<uint16_t>(entries[i].speedInput));
    }
    std::string error;
    if (!replaceFileContents(path, bytes.data(), bytes.size(), error)) {
        noteFileFailure(error);
        return false;
    }
    return true;
}

bool FlightRecorder::loadFromFile(const std::string& path) {
    std::string error;
    FileHandle file(openRegularFile(path, error));
    if (!file.valid()) {
        noteFileFailure(error);
        return false;
    }
    if (!lockExclusive(file.get())) {
        noteFileFailure(fileFailure("read", path, "another copy of the game is using it"));
        return false;
    }
    ::posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    // The whole file is read and checked before anything of the recorder changes, so a failed
    // load leaves the player's recording as it was. Bytes after the body are ignored.
    std::vector<uint8_t> bytes(kFileBytes);
    const ssize_t got = readUpTo(file.get(), bytes.data(), bytes.size());
    if (got < 0 || !file.close()) {
        noteFileFailure(fileFailure("read", path, errno));
        return false;
    }
    if (static_cast<size_t>(got) < kFileBytes) {
        noteFileFailure(fileFailure("read", path,
                                    "too short for a recording (" + std::to_string(got) +
                                        " bytes of " + std::to_string(kFileBytes) + ")"));
        return false;
    }
    uint32_t count = 0;
    if (!parseRecording(bytes.data(), bytes.size(), capacity, count, entries)) {
        noteFileFailure(fileFailure("read", path,
                                    "it claims " + std::to_string(getU32(bytes.data())) +
                                        " frames, more than a recording holds"));
        return false;
    }
    recordedLength = count;
    startPlayback();
    return true;
}

bool parseRecording(const uint8_t* data, size_t size, uint32_t capacity, uint32_t& count,
                    RecordEntry* entries) {
    if (data == nullptr || size < kFileBytes || entries == nullptr) {
        return false;
    }
    uint32_t fileCount = getU32(data);
    uint32_t stored = capacity < kRecorderCapacity ? capacity : kRecorderCapacity;
    // A count past the buffer would let the replay read beyond it.
    if (fileCount > stored) {
        return false;
    }
    count = fileCount;
    for (uint32_t i = 0; i < stored; ++i) {
        const uint8_t* in = data + kCountBytes + i * kEntryBytes;
        entries[i] = RecordEntry{getI16(in), getI16(in + 2), getI16(in + 4)};
    }
    return true;
}

bool replayInput() {
    FlightRecorder* recorder = game.flightRecorder;
    int16_t turn = kNoInput;
    int16_t vertical = kNoInput;
    int16_t speedInput = kNoInput;
    if (recorder == nullptr || recorder->play(turn, vertical, speedInput) == -1) {
        // The end of the recording: steering keeps its value, nothing is applied.
        game.replaying = 0;
        return false;
    }
    // Any value from 10000 up marks a frame without that input.
    if (turn < kNoInput) {
        applyTurnInput(turn);
        // The vertical movement is carried along without effect.
        game.steering = 1;
    } else {
        game.steering = 0;
    }
    if (speedInput < kNoInput) {
        applySpeedInput(speedInput);
    }
    return true;
}
