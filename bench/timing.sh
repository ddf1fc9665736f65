# Whole-process timing in turns, sourced by the speed scripts of bench/.
#
# Commands are gathered into a group, then run RUNS times each, taking turns
# (the first command, the second, ..., then the first again), so that a change
# of load on the machine falls on all of them alike. Each measured run appends
# one line to its command's times file, from /usr/bin/time:
#
#   wall-seconds user-seconds system-seconds peak-KiB
#
# (a run whose command failed is preceded by a line from /usr/bin/time saying
# so; readers keep the lines that start with a digit).
#
#   turns_add OUTFILE RUNS COMMAND...   adds a command; its standard output
#                                       goes to OUTFILE, its errors nowhere
#   turns_run FOLDER [warm]             runs the group: with "warm", every
#                                       command first runs once unmeasured;
#                                       command i's times go to FOLDER/.times_i
#                                       (emptied first). A failed run stops the
#                                       group (status 1) unless TURNS_KEEP_GOING=1.
#   turns_count                         the number of commands in the group
#   turns_clear                         empties the group
#
# Before each measured run, outside the measure, the command's output file is
# removed and the written data still in memory is put on disk (sync). Written
# over instead, a large output file (hundreds of megabytes) is first
# truncated, which the run pays for (the kernel frees its cached pages, and
# waits for those being written), and the previous runs' data would be written
# out while the next run is measured, taking processor time and memory
# bandwidth from it. TURNS_SYNC=0 leaves both out.
#
# Needs bash and /usr/bin/time (GNU time).

T_OUT=(); T_RUNS=(); T_CMD=()

turns_add() {
  T_OUT+=("$1"); T_RUNS+=("$2"); shift 2
  T_CMD+=("$(printf '%q ' "$@")")
}

turns_count() { echo "${#T_CMD[@]}"; }

turns_clear() { T_OUT=(); T_RUNS=(); T_CMD=(); }

turns_run() {
  local folder=$1 warm=${2:-} i r max=0
  for i in "${!T_CMD[@]}"; do
    : > "$folder/.times_$i"
    if [ "$warm" = warm ]; then
      bash -c "exec ${T_CMD[$i]} > '${T_OUT[$i]}' 2>/dev/null" || true
    fi
    [ "${T_RUNS[$i]}" -gt "$max" ] && max=${T_RUNS[$i]}
  done
  for r in $(seq 1 "$max"); do
    for i in "${!T_CMD[@]}"; do
      [ "$r" -le "${T_RUNS[$i]}" ] || continue
      if [ "${TURNS_SYNC:-1}" = 1 ]; then
        case ${T_OUT[$i]} in /dev/*) ;; *) rm -f "${T_OUT[$i]}" ;; esac
        sync
      fi
      /usr/bin/time -f "%e %U %S %M" -a -o "$folder/.times_$i" \
        bash -c "exec ${T_CMD[$i]} > '${T_OUT[$i]}' 2>/dev/null" ||
        [ "${TURNS_KEEP_GOING:-0}" = 1 ] || return 1
    done
  done
}
