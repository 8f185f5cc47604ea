#!/usr/bin/env bash
# Damaged data files on the real program: each case copies the game beside its data, damages
# one file (missing, empty, cut to half, or random bytes of the same length, seeded by the
# file's name), starts the game under Xvfb and plays it as far as it goes: the logo, one
# player (Return), the level screen, Play; in the match Q, then the window is closed (SIGTERM,
# which SDL turns into a close request). A message box is closed with Return. Every case
# must end by itself: with code 1 after a message box whose file also appears on standard
# error, or with code 0 after the match started (the failure caught, or the file decoded).
# Never a crash, a sanitiser report, another code or a hang. The cases are listed in a table.
#
#   robustness_real.sh [--all] VANTOR_EXECUTABLE [OUT_FOLDER]
#
# Without --all: every file missing, and the other three damages on one file of each loading
# stage. With --all: every file with every damage. ROBUSTNESS_WORKERS (default 3) cases run
# at once, each worker on an X server of its own; ROBUSTNESS_FILES, a regular expression,
# keeps the files it matches.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
self="$here/$(basename "$0")"

# ---- The files and when the game reads them ------------------------------------------------

# stage:file. Stages: logo, count (player-count screen), level (level screen), picture (match
# picture, caught), mesh (caught), sound (match sound), music (one of eight tracks, picked at
# random), art (a ball's or racket's picture, one of four picked at random; caught), after.
all_files() {
  local f i
  echo logo:Textures/logo.tga logo:Textures/tlogo1.tga
  for f in single1 multi1 back back1 exit1; do echo "count:Textures/$f.tga"; done
  echo count:Sounds/menu.wav
  for f in 1player1 2player1 play1 lvl1 lvl2 lvl3; do echo "level:Textures/$f.tga"; done
  for f in t1b t1bn brtex1 b side1 Table_sides_top Table_sides_side Pocket g; do echo "picture:tables/$f.tga"; done
  echo picture:Textures/vantor.tga picture:Textures/paused.tga picture:Balls/bshadow.tga picture:Rackets/Rshadow.tga
  for i in 1 2 3 4; do
    echo "art:Balls/ball$i.tga" "art:Balls/ball${i}s.tga" "art:Rackets/racket$i.tga" "art:Rackets/racket${i}s.tga"
  done
  echo mesh:tables/table.x mesh:lamp.x mesh:lampshade.tga
  for f in tcoll rcoll pocket spring goal; do echo "sound:Sounds/$f.wav"; done
  for i in 1 2 3 4 5 6 7 8; do echo "music:Sounds/bck$i.wav"; done
  echo after:Textures/play_again1.tga
}

# One representative of each loading stage, for the damages other than missing.
representatives="logo:Textures/logo.tga count:Textures/back.tga picture:tables/t1b.tga mesh:tables/table.x sound:Sounds/tcoll.wav"

# ---- A worker: runs its cases on its own display ----------------------------------------------

if [ "${1:-}" = --worker ]; then
  shift
  exe=$1 list=$2 dir=$3 mode=$4
  results="$dir/results"
  : >"$results"
  export ASAN_OPTIONS="${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}detect_leaks=0"  # Mesa and D-Bus leak by design
  export XDG_CONFIG_HOME="$dir/config"  # the game's settings: the worker's own, never the user's
  src=$(dirname "$exe")
  app="$dir/app"
  rm -rf "$app"
  mkdir -p "$app"
  # The game finds its data beside the executable it was started as.
  ln "$exe" "$app/vantor" 2>/dev/null || cp "$exe" "$app/vantor"
  cp -r "$src/Textures" "$src/tables" "$src/Balls" "$src/Rackets" "$src/Sounds" "$src/lamp.x" "$src/lampshade.tga" "$app/"
  probe="$dir/probe.png"

  # look: a screenshot of the screen, read at a few points in one go; sets `screen` to box
  # (a message box is up), count1, count2 (the player-count screen, item highlighted), level1
  # to level6 (the level screen), match (no menu button left), or other.
  spots=(285 270 295 322 100 116 500 116 290 366 600 576 340 576 20 580)
  look() {
    screen=other
    if [ -n "$(message_box)" ]; then
      screen=box
      return
    fi
    import -window root "$probe" 2>/dev/null || return
    local fmt="" i r g b yellow=() white=()
    colours=()
    for ((i = 0; i < ${#spots[@]}; i += 2)); do
      fmt+="%[fx:int(255*p{${spots[i]},${spots[i + 1]}}.r+0.5)] %[fx:int(255*p{${spots[i]},${spots[i + 1]}}.g+0.5)] %[fx:int(255*p{${spots[i]},${spots[i + 1]}}.b+0.5)]\n"
    done
    fmt+="%[fx:int(1000*mean+0.5)]\n"
    mapfile -t colours < <(convert "$probe" -format "$fmt" info: 2>/dev/null)
    for ((i = 0; i < 8; i++)); do
      read -r r g b <<<"${colours[i]:-0 0 0}"
      yellow[i]=0 white[i]=0
      ((r > 190 && g > 190 && b < 150)) && yellow[i]=1
      ((r > 180 && g > 180 && b > 180)) && white[i]=1
    done
    if ((yellow[0] && white[1])); then
      screen=count1
    elif ((white[0] && yellow[1])); then
      screen=count2
    else
      local n=0 hits=0
      for ((i = 2; i < 8; i++)); do
        if ((yellow[i])); then
          n=$((i - 1))
          hits=$((hits + 1))
        fi
      done
      if ((hits == 1)); then
        screen=level$n
      elif ((!white[7] && !yellow[7] && !yellow[2])); then
        # No menu button, and a picture or the match's clock top left (a match whose table
        # pictures failed is black but for its texts): a dark screen is the game loading.
        if ((${colours[8]:-0} > 40)) ||
          (($(convert "$probe" -crop 170x24+0+52 +repage -format "%[fx:int(1000*mean+0.5)]" info: 2>/dev/null || echo 0) > 30)); then
          screen=match
        fi
      fi
    fi
  }
  hold() { xdotool keydown "$1" sleep "${2:-0.06}" keyup "$1"; }
  message_box() { xwininfo -root -children 2>/dev/null | awk '/"VANTOR!"/ && !/"vantor"/ {print $1; exit}'; }

  damage() { # damage FILE KIND
    local f="$app/$1" size
    size=$(stat -c %s "$f")
    case $2 in
      missing) rm -f "$f" ;;
      empty) : >"$f" ;;
      half) truncate -s $((size / 2)) "$f" ;;
      random) openssl enc -aes-128-ctr -nosalt -pbkdf2 -pass "pass:$1" </dev/zero 2>/dev/null | head -c "$size" >"$f" ;;
    esac
  }

  # verdict STAGE FILE KIND RC BOX MATCH NAMED LOG: prints "outcome|verdict".
  verdict() {
    local stage=$1 file=$2 kind=$3 rc=$4 box=$5 match=$6 named=$7 log=$8 outcome verdict=ok
    if grep -q "AddressSanitizer\|runtime error:\|LeakSanitizer" "$log" && [ "$rc" = 1 ] &&
      grep -q "cannot load .*/$file" "$log" && grep -q "in MessageBox .*sdl_platform.cpp" "$log" &&
      [ "$(grep -c "ERROR: AddressSanitizer" "$log")" = 1 ]; then
      # SDL shows an X11 message box from a child process of its own; now and then that child
      # crashed inside SDL while the box opened. The game itself named the file and ended with 1.
      outcome="file named; SDL's message box process crashed"
    elif grep -q "AddressSanitizer\|runtime error:\|LeakSanitizer" "$log"; then
      outcome="sanitiser report"
      verdict=FAIL
    elif [ "$rc" = hung ]; then
      outcome="hung"
      verdict=FAIL
    elif [ "$box" = yes ] && [ "$rc" = 1 ] && grep -q "cannot load .*/$file" "$log"; then
      outcome="message box naming it"
      case $stage in picture | mesh | art) verdict=FAIL ;; esac
    elif [ "$match" = yes ] && { [ "$rc" = 0 ] || [ "$rc" = running ]; }; then
      outcome="match started"
      [ "$named" = yes ] && outcome="match started without it (logged)"
      # Missing or empty, a file the game always reads cannot have loaded.
      case $stage:$kind in
        logo:missing | logo:empty | count:missing | count:empty | level:missing | level:empty | sound:missing | sound:empty)
          verdict=FAIL ;;
        picture:missing | picture:empty | mesh:missing | mesh:empty) [ "$named" = yes ] || verdict=FAIL ;;
        music:missing | music:empty) outcome="$outcome (another track picked)" ;;
        art:missing | art:empty) [ "$named" = yes ] || outcome="$outcome (other art picked)" ;;
        after:missing | after:empty) verdict=FAIL ;;
      esac
      [ "$stage" = after ] && outcome="whole match, after-match screen opened"
    elif [ "$rc" = 0 ]; then
      outcome="closed with 0 before a match (menus not recognisable)"
      case $kind in missing | empty) verdict=FAIL ;; esac
    else
      outcome="exit code $rc, message box: $box"
      verdict=FAIL
    fi
    echo "$outcome|$verdict"
  }

  # run_program KIND STAGE:FILE...: one start of the game. Each file in turn is damaged
  # before a match starts, and put back after it; after the last one the window is closed.
  # A single file is the usual case; several make a session of match starts (files whose
  # failure is caught), each with one file damaged.
  run_program() {
    local kind=$1
    shift
    local entries=("$@") log="$dir/case.log" pid rc=running n=0 w
    local deadline=$((SECONDS + 90)) focused=no box=no match=no mark=0 closing=no leaving=no played=no
    local -a outcomes=()
    screen=other
    damage "${entries[0]#*:}" "$kind"
    "$app/vantor" >"$log" 2>&1 &
    pid=$!
    record() { # record RC: the result of the current entry; the next one is damaged
      local stage=${entries[n]%%:*} file=${entries[n]#*:} named=no
      tail -n +$((mark + 1)) "$log" | grep -qF "/$file" && named=yes
      cp "$src/$file" "$app/$file"
      outcomes[n]="$file|$stage|$kind|$(verdict "$stage" "$file" "$kind" "$1" "$box" "$match" "$named" "$log")"
      n=$((n + 1))
      box=no match=no played=no
      mark=$(wc -l <"$log")
      deadline=$((SECONDS + 90))
      ((n < ${#entries[@]})) && damage "${entries[n]#*:}" "$kind"
    }
    while kill -0 "$pid" 2>/dev/null; do
      [ -n "${ROBUSTNESS_TRACE:-}" ] && echo "$SECONDS ${entries[n]:-} $screen ${colours[8]:-}" >&2
      if ((SECONDS > deadline)); then
        rc=hung
        # Where it stood: the windows and their state, and every thread's stack.
        {
          echo "---- windows"
          xwininfo -root -tree 2>&1 | grep -i vantor
          w=$(xdotool search --name 'VANTOR!' 2>/dev/null | head -n 1)
          [ -n "$w" ] && xprop -id "$w" WM_STATE _NET_WM_STATE 2>&1
          echo "---- stacks"
          timeout 60 gdb -batch -p "$pid" -ex "thread apply all bt 12" 2>&1 | grep -E "^#|^Thread"
        } >>"$log" 2>&1
        kill -9 "$pid" 2>/dev/null
        break
      fi
      if [ $focused = no ]; then
        w=$(xdotool search --name 'VANTOR!' 2>/dev/null | head -n 1)
        [ -n "$w" ] && xdotool windowfocus "$w" 2>/dev/null && focused=yes
      fi
      look
      case $screen in
        box)
          box=yes
          sleep 0.5 # let the box finish opening
          xdotool windowfocus --sync "$(message_box)" 2>/dev/null
          xdotool key Return
          sleep 0.5
          ;;
        count1 | count2)
          leaving=no
          if ((n >= ${#entries[@]})) || [ $match = yes ]; then
            [ $closing = no ] && kill -TERM "$pid" 2>/dev/null # the window's close request
            closing=yes
            sleep 0.3
          elif [ $screen = count1 ]; then
            hold Return 0.15
            sleep 0.3
          else
            hold Up
            sleep 0.3
          fi
          ;;
        level[1-6]) if [ $match = yes ]; then
          # Buttons after the match: the after-match screen. Close the window.
          [ $closing = no ] && kill -TERM "$pid" 2>/dev/null
          closing=yes
          sleep 0.3
          continue
        fi ;;&
        level1 | level2 | level3)
          hold Down
          sleep 0.25
          ;;
        level5 | level6)
          hold Up
          sleep 0.25
          ;;
        level4)
          played=yes
          hold Return 0.15
          sleep 0.4
          ;;
        match)
          # A black screen is no match before Play was chosen (the logo's hand-over).
          if [ $leaving = yes ]; then
            hold q 0.4
            sleep 0.3
          elif [ $played = no ]; then
            sleep 0.3
          elif [ $match = no ]; then
            match=yes
            if [ "${entries[n]%%:*}" = after ]; then
              # The after-match screen reads its button when the three minutes are over.
              deadline=$((SECONDS + 260))
              continue
            fi
            if [ "$mode" = all ]; then
              sleep 2
            else
              sleep 0.3
            fi
            # Still the match, not the moment before a message box.
            look
            if [ "$screen" != match ]; then
              match=no
              continue
            fi
            if ((${#entries[@]} > 1)) || [ "$mode" = all ]; then
              # Q leaves the match; the player-count screen reads its files again.
              record running
              leaving=yes
              hold q 0.4
              sleep 0.5
            fi
          elif [ "${entries[n]%%:*}" = after ]; then
            sleep 1
          elif ((${#entries[@]} == 1)) && [ "$mode" != all ]; then
            [ $closing = no ] && kill -TERM "$pid" 2>/dev/null
            closing=yes
            sleep 0.3
          else
            hold q 0.4
            sleep 0.3
          fi
          ;;
        *)
          sleep 0.3
          ;;
      esac
    done
    if [ "$rc" != hung ]; then
      wait "$pid"
      rc=$?
    else
      wait "$pid" 2>/dev/null
    fi
    # The entry the program ended in, and any it never reached.
    while ((n < ${#entries[@]})); do record "$rc"; done
    local o
    for o in "${outcomes[@]}"; do
      local verdict_=${o##*|} rest=${o%|*}
      if [ "$verdict_" = ok ] && [ "$rc" != 0 ] && [ "$rc" != 1 ]; then verdict_=FAIL; fi
      printf '%s|%s|%s\n' "$rest" "$rc" "$verdict_" >>"$results"
      if [[ $o == *"message box process crashed"* ]]; then
        mkdir -p "$dir/noted"
        cp "$log" "$dir/noted/$(echo "$o" | cut -d'|' -f1,3 | tr '/|' '_.').log"
      fi
      if [ "$verdict_" = FAIL ]; then
        mkdir -p "$dir/failed"
        local name
        name=$(echo "$o" | cut -d'|' -f1,3 | tr '/|' '_.')
        cp "$log" "$dir/failed/$name.log"
        # The last screen the case saw (a hang: where it stood).
        [ -f "$probe" ] && cp "$probe" "$dir/failed/$name.png"
      fi
    done
  }

  while read -r kind entries; do
    # shellcheck disable=SC2086
    run_program "$kind" $entries
  done <"$list"
  exit 0
fi

# ---- The whole run ---------------------------------------------------------------------------

mode=quick
if [ "${1:-}" = --all ]; then
  mode=all
  shift
fi
[ $# -ge 1 ] || { echo "usage: $0 [--all] VANTOR_EXECUTABLE [OUT_FOLDER]" >&2; exit 2; }
exe=$(realpath "$1")
out=${2:-$(dirname "$exe")/robustness_real}
workers=${ROBUSTNESS_WORKERS:-3}
for tool in xvfb-run xdotool xwininfo import convert openssl truncate; do
  command -v "$tool" >/dev/null || { echo "robustness_real: $tool is missing" >&2; exit 1; }
done
mkdir -p "$out"
rm -rf "$out"/w[0-9]* "$out/cases" "$out/results" "$out/table.txt"

# One line a start of the game: the damage, then the files damaged in turn.
cases="$out/cases"
: >"$cases"
caught=()
singles=()
for entry in $(all_files); do
  stage=${entry%%:*} file=${entry#*:}
  [[ $file =~ ${ROBUSTNESS_FILES:-.} ]] || continue
  [ -f "$(dirname "$exe")/$file" ] || { echo "robustness_real: $file is not in the build folder" >&2; exit 1; }
  if [ $mode = all ]; then
    for kind in missing empty half random; do singles+=("$kind $entry"); done
    continue
  fi
  # Quick: each file missing. Files whose failure is caught are read at every match start,
  # so one start of the game takes them in turn; the after-match screen's button needs a
  # whole match of three minutes, and is left to --all.
  case $stage in
    picture | mesh | art) caught+=("$entry") ;;
    after) ;;
    *) singles+=("missing $entry") ;;
  esac
  if [[ " $representatives " == *" $entry "* ]]; then
    for kind in empty half random; do singles+=("$kind $entry"); done
  fi
done
if ((${#caught[@]} > 0)); then
  for ((w = 0; w < workers; w++)); do
    line="missing"
    for ((i = w; i < ${#caught[@]}; i += workers)); do line+=" ${caught[i]}"; done
    [ "$line" = missing ] || echo "$line" >>"$cases"
  done
fi
printf '%s\n' "${singles[@]}" >>"$cases"
total=$(awk '{n += NF - 1} END {print n}' "$cases")
echo "robustness_real: $total cases ($mode), $workers at once"

# Dealt round-robin to the workers, slow (match) cases and quick ones mixed.
pids=()
for ((w = 0; w < workers; w++)); do
  mkdir -p "$out/w$w"
  awk -v n="$workers" -v w="$w" 'NR % n == w' "$cases" >"$out/w$w/cases"
  timeout --kill-after=10 $((total * 70 / workers + 300)) \
    xvfb-run -a -s "-screen 0 800x600x24 -noreset" "$self" --worker "$exe" "$out/w$w/cases" "$out/w$w" "$mode" \
    >"$out/w$w/worker.log" 2>&1 &
  pids+=($!)
  sleep 2 # xvfb-run -a picks a free display: one at a time
done
for p in "${pids[@]}"; do wait "$p"; done

cat "$out"/w*/results >"$out/results"
done_count=$(wc -l <"$out/results")
printf '%-28s %-8s %-8s %-58s %s\n' file stage damage outcome code | tee "$out/table.txt"
sort -t'|' -k1,1 -k3,3 "$out/results" | while IFS='|' read -r file stage kind outcome rc verdict; do
  mark=""
  [ "$verdict" = ok ] || mark="  <-- $verdict"
  printf '%-28s %-8s %-8s %-58s %s%s\n' "$file" "$stage" "$kind" "$outcome" "$rc" "$mark"
done | tee -a "$out/table.txt"
failed=$(grep -c '|FAIL$' "$out/results")
echo "robustness_real: $done_count of $total cases run, $failed failed; logs of failures in $out/w*/failed"
[ "$done_count" -eq "$total" ] && [ "$failed" -eq 0 ]
