#include "files/zip_inflater.h"

#include "files/vector_state.h"

#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>
#include <zip.h>

#include <utility>

#include "files/file_error.h"

namespace fenban::files {

namespace {

constexpr size_t kInputChunk = size_t{1} << 16;

}  // namespace

ZipInflater::ZipInflater(struct zip* archive, uint64_t index, uint64_t declared, uint32_t crc, std::string part)
    : state_(new inflate_state), input_(kInputChunk), declared_(declared), expectedCrc_(crc), part_(std::move(part)) {
  file_ = zip_fopen_index(archive, index, ZIP_FL_COMPRESSED);
  if (file_ == nullptr) Damaged();
  isal_inflate_init(state_.get());
  state_->crc_flag = ISAL_DEFLATE;
  state_->avail_in = 0;
}

ZipInflater::~ZipInflater() {
  if (file_ != nullptr) zip_fclose(file_);
}

void ZipInflater::Damaged() const { throw FormatError(std::string(kTextDamaged) + "：" + part_); }

size_t ZipInflater::Read(char* out, size_t size) {
  if (finished_ || size == 0) return 0;
  inflate_state& state = *state_;
  state.next_out = reinterpret_cast<uint8_t*>(out);
  state.avail_out = static_cast<uint32_t>(std::min<size_t>(size, UINT32_MAX));
  const uint32_t room = state.avail_out;
  while (state.avail_out > 0 && state.block_state != ISAL_BLOCK_FINISH) {
    if (state.avail_in == 0 && !inputEnded_) {
      const zip_int64_t got = zip_fread(file_, input_.data(), input_.size());
      if (got < 0) Damaged();
      if (got == 0) inputEnded_ = true;
      state.next_in = input_.data();
      state.avail_in = static_cast<uint32_t>(got);
    }
    const uint32_t before = state.avail_out, given = state.avail_in;
    const int result = isal_inflate(&state);
    if (result < 0) Damaged();
    // The compressed data ended before the deflate stream did, or the
    // stream went no further (neither took input nor gave output).
    const bool stuck = state.avail_out == before && state.avail_in == given && given > 0;
    if (stuck || (inputEnded_ && state.avail_in == 0 && state.avail_out == before &&
                  state.block_state != ISAL_BLOCK_FINISH)) {
      Damaged();
    }
  }
  const size_t produced = room - state.avail_out;
  crc_ = crc32_gzip_refl(crc_, reinterpret_cast<const unsigned char*>(out), produced);
  ClearUpperVectorState();
  done_ += produced;
  if (done_ > declared_) Damaged();
  if (produced == 0 && state.block_state == ISAL_BLOCK_FINISH) {
    finished_ = true;
    if (done_ != declared_ || crc_ != expectedCrc_) Damaged();
  }
  return produced;
}

}  // namespace fenban::files
