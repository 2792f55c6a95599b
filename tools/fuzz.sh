#!/usr/bin/env bash
# Builds one libFuzzer target per picture decoder, the movie opener, the Standard MIDI File reader and three each
# for the sound decoders and the music decoder (clang, AddressSanitizer and UBSan) in build-fuzz and runs each
# over its seed corpus for FUZZ_SECONDS seconds (default 60), as many at once as there are cores. Inputs found go to
# build-fuzz/corpus/<decoder>; a crash stops the script with the fuzzer's report and leaves the input as
# build-fuzz/<decoder>-crash-*.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/tools/setup.sh"
seconds="${FUZZ_SECONDS:-60}"
dir="$root/build-fuzz"
decoders=(bmp jpeg png bgra tga dds movie)
decoders+=(smf)
decoders+=(sound_wav sound_mpeg sound_ogg)
decoders+=(music_wav music_mpeg music_ogg)
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DVOMAK_FUZZ=ON -DVOMAK_TESTS=OFF -DVOMAK_BENCH=OFF -DVOMAK_GAME=OFF >/dev/null
cmake --build "$dir" --target fuzz_make_seeds fuzz_make_sound_seeds fuzz_movie_replay "${decoders[@]/#/fuzz_}"
"$dir/tests/fuzz/fuzz_make_seeds" "$dir/seeds"
"$dir/tests/fuzz/fuzz_make_sound_seeds" "$dir/seeds"
for kind in wav mpeg ogg; do ln -sfn "sound_$kind" "$dir/seeds/music_$kind"; done  # the music decoder's seeds

# Debian's libvorbisfile loses the 8-byte serial-number list of a damaged chained Ogg's headers. The library is
# stripped, so the frame that allocates it has no function name: it is matched by its module, which with the
# fast unwinder is the whole stack of an allocation made by libvorbisfile itself (libogg's, libvorbis's and ours
# are still reported).
printf 'leak:libvorbisfile.so.3\n' >"$dir/vorbisfile.supp"

# Runs one target; its log is build-fuzz/fuzz-<name>.log. Inputs that once crashed, hung or ran out of memory are
# kept in tests/fuzz/regressions/<name> and replayed first.
# Each target bounds its own work, so that no input costs much more than a second of processor time. libFuzzer's
# times are by the wall clock: the time-out of one input only catches a hang, which never ends, so it leaves all the
# room a machine whose cores are busy with other work needs; FUZZ_SECONDS is looked at between inputs, so a slow
# input makes a run a little longer and a hang as long as that time-out.
fuzz_one() {
  local name=$1 log="$dir/fuzz-$1.log" leaks="" found=()
  case "$name" in sound_* | music_*) leaks="suppressions=$dir/vorbisfile.supp" ;; esac
  mkdir -p "$dir/corpus/$name"
  [ -d "$root/tests/fuzz/regressions/$name" ] && found=("$root/tests/fuzz/regressions/$name")
  if ! ASAN_OPTIONS="${ASAN_OPTIONS:-quarantine_size_mb=64}" LSAN_OPTIONS="$leaks" "$dir/tests/fuzz/fuzz_$name" \
      "$dir/corpus/$name" "$dir/seeds/$name" "${found[@]}" -max_total_time="$seconds" -timeout=300 -rss_limit_mb=2560 \
      -malloc_limit_mb=256 -artifact_prefix="$dir/$name-" -print_final_stats=1 >"$log" 2>&1; then
    return 1
  fi
  echo "$name: $(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}') runs in $seconds s," \
    "$(ls "$dir/corpus/$name" | wc -l) inputs in the corpus"
}

# Runs the targets side by side, at most one per core; each one's status is collected as it ends.
declare -A job_name=()
failed=()
reap_one() {
  local pid status=0
  wait -n -p pid || status=$?
  [ "$status" -eq 0 ] || failed+=("${job_name[$pid]}")
  unset "job_name[$pid]"
}
for name in "${decoders[@]}"; do
  while [ "${#job_name[@]}" -ge "$(nproc)" ]; do reap_one; done
  fuzz_one "$name" &
  job_name[$!]=$name
done
while [ "${#job_name[@]}" -gt 0 ]; do reap_one; done
for name in "${failed[@]}"; do
  tail -n 60 "$dir/fuzz-$name.log"
  echo "fuzzing the $name decoder failed; the log is $dir/fuzz-$name.log"
done
[ "${#failed[@]}" -eq 0 ] || exit 1

# The movie opener's seeds and corpus once more under valgrind, built without sanitizers: FFmpeg's
# scaler and decoders are not instrumented, and only valgrind sees their stores past our buffers.
if ! valgrind -q --error-exitcode=1 --track-origins=no "$dir/tests/fuzz/fuzz_movie_replay" "$dir/seeds/movie" \
    "$dir/corpus/movie" >"$dir/valgrind-movie.log" 2>&1; then
  tail -n 60 "$dir/valgrind-movie.log"
  echo "the movie opener failed under valgrind; the log is $dir/valgrind-movie.log"
  exit 1
fi
echo "movie under valgrind: $(tail -n 1 "$dir/valgrind-movie.log")"
