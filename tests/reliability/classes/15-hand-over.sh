# shellcheck shell=bash disable=SC2034  # CLASS_TITLES is read by lib/table.sh
# Class 15: the window's hand-over socket under attack. Another user (nobody)
# squats where root's window would listen; same-user clients open a thousand
# idle connections against a window limited to 1024 descriptors, dribble
# unfinished messages, never read their answers, or stream a message far
# beyond any command line. After each, the window must be alive, keep its
# socket and take a real start's files; no name may reach the squatter, and
# every start must either hand its files over (exit 0) or keep a window of
# its own.

CLASS_TITLES[15]='15 hand-over socket'

# The peers the class needs, as one perl program run by root or nobody:
#   squat PATH            listen at PATH (its folder made 0700), never answer,
#                         print "heard N" for every connection's first bytes
#   idle N SECONDS        N connections that send nothing
#   dribble N SECONDS     N connections that send an unfinished message a byte
#                         at a time
#   deaf N SECONDS        N connections that send a whole message and never
#                         read the answer
#   stream BYTES          one connection that sends an endless name
#   names N               one whole message of N relative names without a
#                         folder (they add nothing); prints "answer:X SECONDS"
# Each attack prints "connected C closed K" (K: closed by the window early).
hand_over_peer_script() {
  cat <<'PERL'
use strict; use warnings; use Socket; use IO::Handle;
STDOUT->autoflush(1); $SIG{PIPE} = 'IGNORE';
my ($mode, $path, @args) = @ARGV;
sub connection {
  socket(my $s, PF_UNIX, SOCK_STREAM, 0) or return;
  connect($s, pack_sockaddr_un($path)) or return;
  return $s;
}
sub closed_by_peer {
  my $s = shift; my $got = recv($s, my $b, 1, MSG_DONTWAIT);
  return defined($got) && length($b) == 0;
}
if ($mode eq 'squat') {
  my ($dir) = $path =~ m{^(.*)/[^/]*$}; mkdir $dir, 0700;
  socket(my $l, PF_UNIX, SOCK_STREAM, 0) or die; unlink $path;
  bind($l, pack_sockaddr_un($path)) or die "bind: $!"; listen($l, 16) or die;
  print "listening\n";
  while (accept(my $c, $l)) { my $n = sysread($c, my $b, 65536) // 0; print "heard $n\n"; }
} elsif ($mode eq 'idle' || $mode eq 'dribble' || $mode eq 'deaf') {
  my ($count, $seconds) = @args; my @all;
  for (1 .. $count) { my $s = connection() or next; push @all, $s; }
  syswrite($_, "D/\0E") for $mode eq 'deaf' ? @all : ();
  syswrite($_, "D/\0F") for $mode eq 'dribble' ? @all : ();
  my $end = time + $seconds; my %early;
  while (time < $end) {
    for my $i (0 .. $#all) {
      next if $early{$i};
      if ($mode eq 'dribble') {
        $early{$i} = 1 unless defined syswrite($all[$i], 'a');
      } elsif ($mode eq 'idle') {
        $early{$i} = 1 if closed_by_peer($all[$i]);
      }
    }
    select(undef, undef, undef, 0.25);
  }
  printf "connected %d closed %d\n", scalar @all, scalar keys %early;
} elsif ($mode eq 'stream') {
  my $s = connection() or die "connect: $!"; my $sent = 0; my $piece = 'a' x 65536;
  syswrite($s, "D/\0F");
  while ($sent < $args[0]) { my $n = syswrite($s, $piece) or last; $sent += $n; }
  printf "connected 1 closed %d sent %d\n", $sent < $args[0] ? 1 : 0, $sent;
} elsif ($mode eq 'names') {
  my $s = connection() or die "connect: $!"; my $start = time;
  syswrite($s, "D\0" . ("F" . ('n' x 99) . "\0") x $args[0] . "E");
  my $got = ''; sysread($s, $got, 1);
  printf "answer:%s %d s\n", $got, time - $start;
}
PERL
}

# hand_over_start DIR ENV...: the real program with the single input,
# offscreen, its pid in HAND_OVER_PID and its output in the file HAND_OVER_OUT.
hand_over_start() {
  local dir=$1
  shift
  HAND_OVER_OUT=$(mktemp "$dir/start-XXXX.out")
  env -i PATH="$PATH" HOME="$dir/home" XDG_CONFIG_HOME="$dir/home/config" \
    QT_QPA_PLATFORM=offscreen ROWVANE_NO_HOME_PAGE=1 "$@" "$APP" "$W/data/single/victim.csv" >"$HAND_OVER_OUT" 2>&1 &
  HAND_OVER_PID=$!
  STARTED_PIDS+=("$HAND_OVER_PID")
}

# hand_over_verdict PID SECONDS: how a start with files ended up, in
# VERDICT: "taken" (it exited 0 within SECONDS), "own-window" (still
# running), or "lost".
hand_over_verdict() {
  local pid=$1 deadline=$((SECONDS + $2)) rc
  while kill -0 "$pid" 2>/dev/null && ((SECONDS < deadline)); do
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    VERDICT=own-window
    return
  fi
  wait "$pid" 2>/dev/null
  rc=$?
  forget_pid "$pid"
  VERDICT=lost
  if ((rc == 0)); then
    VERDICT=taken
  fi
}

stop_process() {
  kill -TERM "$1" 2>/dev/null
  wait "$1" 2>/dev/null
  forget_pid "$1"
}

peak_kib() { awk '/^VmHWM:/ { print $2 }' "/proc/$1/status" 2>/dev/null || printf 0; }

# squat_case NAME WHERE: nobody listens first at root's socket (WHERE:
# temporary or runtime); root's start must keep its files in a window of its
# own and the squatter must hear nothing.
squat_case() {
  local name=$1 where=$2 dir=$W/runs/hand-over-$1
  rm -rf "$dir"
  mkdir -p "$dir/home" "$dir/tmp"
  chmod 1777 "$dir/tmp"
  chmod 0755 "$dir"
  local notes=() lost=0 crash=0 hang=0 reports_ok=1 rest_ok=1 hit=1 socket runtime=''
  if [[ $where == runtime ]]; then
    runtime=$dir/tmp/nobodys-runtime
    socket=$runtime/rowvane.socket
  else
    socket=$dir/tmp/rowvane-0/rowvane.socket
  fi
  setpriv --reuid=65534 --regid=65534 --clear-groups perl "$HAND_OVER_PEER" squat "$socket" \
    >"$dir/squatter.out" 2>&1 &
  local squatter=$!
  STARTED_PIDS+=("$squatter")
  wait_for_line "$dir/squatter.out" '^listening' 10 || {
    hit=0
    notes+=("the squatter did not listen: $(head -c 200 "$dir/squatter.out")")
  }
  local before start verdict
  before=$(sha_of "$W/data/single/victim.csv")
  hand_over_start "$dir" TMPDIR="$dir/tmp" ${runtime:+XDG_RUNTIME_DIR="$runtime"}
  start=$HAND_OVER_PID
  hand_over_verdict "$start" 3
  verdict=$VERDICT
  if [[ $verdict != own-window ]]; then
    lost=1
    notes+=("root's start with files ended ($verdict) instead of keeping a window")
  fi
  if [[ $where == temporary ]] && ! grep -q 'no hand-over between windows' "$HAND_OVER_OUT"; then
    reports_ok=0
    notes+=("no word on standard error about the refused folder")
  fi
  if grep -q 'heard [1-9]' "$dir/squatter.out"; then
    lost=1
    notes+=("the squatter heard root's names: $(grep heard "$dir/squatter.out" | head -3)")
  fi
  stop_process "$start"
  stop_process "$squatter"
  local inputs_ok=1
  [[ $(sha_of "$W/data/single/victim.csv") == "$before" ]] || inputs_ok=0
  record_row 15 binary "squatter-in-$where-folder" "$hit" "$inputs_ok" 1 "$rest_ok" 0 "$crash" \
    "$hang" "$reports_ok" "$lost" "${notes[*]}"
}

# attack_case NAME MODE ARGS...: a window limited to 1024 descriptors holds
# the socket; a same-user peer attacks in MODE while a real start hands its
# files over; then a last start must be taken by the same, living window.
attack_case() {
  local name=$1 dir=$W/runs/hand-over-$1
  shift
  rm -rf "$dir"
  mkdir -p "$dir/home" "$dir/run"
  chmod 0700 "$dir/run"
  local notes=() lost=0 crash=0 hang=0 reports_ok=1 rest_ok=1 hit=1 verdict
  local socket=$dir/run/rowvane.socket window before peak_before peak_after
  before=$(sha_of "$W/data/single/victim.csv")
  env -i PATH="$PATH" HOME="$dir/home" XDG_CONFIG_HOME="$dir/home/config" \
    QT_QPA_PLATFORM=offscreen ROWVANE_NO_HOME_PAGE=1 XDG_RUNTIME_DIR="$dir/run" \
    prlimit --nofile=1024 "$APP" >"$dir/window.out" 2>&1 &
  window=$!
  STARTED_PIDS+=("$window")
  local deadline=$((SECONDS + 20))
  until [[ -S $socket ]] || ((SECONDS > deadline)); do sleep 0.1; done
  sleep 1  # past start-up, whose memory is not the attack's
  peak_before=$(peak_kib "$window")

  perl "$HAND_OVER_PEER" "$1" "$socket" "${@:2}" >"$dir/peer.out" 2>&1 &
  local peer=$!
  STARTED_PIDS+=("$peer")
  sleep 0.5
  local during
  hand_over_start "$dir" XDG_RUNTIME_DIR="$dir/run"
  during=$HAND_OVER_PID
  hand_over_verdict "$during" 20
  verdict=$VERDICT
  [[ $verdict == lost ]] && { lost=1 && notes+=("a start during the attack lost its files"); }
  [[ $verdict == own-window ]] && notes+=("a start during the attack kept a window of its own")
  stop_process "$during"
  if ! timeout 120 tail --pid="$peer" -f /dev/null; then
    hang=1
    notes+=("the attacker did not end within 120 s")
    kill -9 "$peer" 2>/dev/null
  fi
  wait "$peer" 2>/dev/null
  forget_pid "$peer"
  grep -q '^connected [1-9]\|^answer:' "$dir/peer.out" || {
    hit=0
    notes+=("the attack never reached the window: $(head -c 200 "$dir/peer.out")")
  }
  grep -q '^answer:' "$dir/peer.out" && notes+=("$(head -1 "$dir/peer.out")")

  sleep 3.5  # every attacking connection's time is up
  local last
  hand_over_start "$dir" XDG_RUNTIME_DIR="$dir/run"
  last=$HAND_OVER_PID
  hand_over_verdict "$last" 20
  verdict=$VERDICT
  if [[ $verdict != taken ]]; then
    rest_ok=0
    [[ $verdict == lost ]] && lost=1
    notes+=("the window did not take a start's files after the attack ($verdict)")
  fi
  stop_process "$last"
  peak_after=$(peak_kib "$window")
  notes+=("window peak $peak_before -> $peak_after KiB")
  if ! kill -0 "$window" 2>/dev/null; then
    crash=1
    notes+=("the window died: $(tail -c 300 "$dir/window.out")")
  elif [[ ! -S $socket ]]; then
    rest_ok=0
    notes+=("the window lost its socket")
  fi
  # What one window may keep for unfinished messages, with room for Qt.
  if ((peak_after - peak_before > 200 * 1024)); then
    reports_ok=0
    notes+=("the window grew from $peak_before to $peak_after KiB")
  fi
  stop_process "$window"
  grep -Eq 'AddressSanitizer|runtime error:|terminate called' "$dir"/*.out &&
    { crash=1 && notes+=("sanitizer or abort message"); }
  local inputs_ok=1
  [[ $(sha_of "$W/data/single/victim.csv") == "$before" ]] || inputs_ok=0
  record_row 15 binary "$name" "$hit" "$inputs_ok" 1 "$rest_ok" 0 "$crash" "$hang" \
    "$reports_ok" "$lost" "${notes[*]}"
}

class_15() {
  say "class 15: the hand-over socket"
  HAND_OVER_PEER=$W/bin/hand-over-peer.pl
  hand_over_peer_script >"$HAND_OVER_PEER"
  chmod 0755 "$HAND_OVER_PEER"
  squat_case squatter-temporary temporary
  squat_case squatter-runtime runtime
  attack_case idle-clients idle 1000 6
  attack_case slow-dribblers dribble 20 6
  attack_case deaf-readers deaf 20 6
  attack_case huge-message stream $((400 * 1024 * 1024))
  attack_case many-names names 200000
}
