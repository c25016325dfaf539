#!/usr/bin/env bash
# A one-node Slurm cluster that lives entirely in one folder, for tests of the batch engine.
#
#   cluster.sh start DIR   makes DIR, starts munged, slurmctld and slurmd with everything they
#                          write (key, sockets, state, spool, logs, pid files) inside it, and
#                          waits until the node takes jobs. Clients then need only
#                          SLURM_CONF=DIR/slurm.conf.
#   cluster.sh stop DIR    cancels what is still queued, stops the daemons by their recorded
#                          pids and removes DIR.
#   cluster.sh env DIR     prints the environment a client needs (for eval).
#
# It needs root (the daemons run as root, the jobs as the submitting user) and the Debian
# packages slurmctld, slurmd, slurm-client and munge. Nothing of the machine's own configuration
# is read or changed: no systemd, no cgroups, no /etc/slurm, no /run/munge. All traffic stays on
# the loopback address.
set -euo pipefail

usage() {
    echo "usage: $0 start|stop|env DIR" >&2
    exit 2
}
(($# == 2)) || usage
action=$1
dir=$2

fail() {
    echo "slurm test cluster: $*" >&2
    exit 1
}

# The daemons' logs are the only way to see why a start failed, so they go to stderr then.
show_logs() {
    local log
    for log in "$dir"/log/*.log; do
        [[ -f "$log" ]] || continue
        echo "---- $log (last lines)" >&2
        tail -n 30 "$log" >&2
    done
}

free_port() {
    /usr/bin/python3 -c 'import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])'
}

# Waits up to $1 tenths of a second for the command after it to succeed.
wait_for() {
    local tenths=$1
    shift
    local i
    for ((i = 0; i < tenths; i++)); do
        if "$@" >/dev/null 2>&1; then return 0; fi
        sleep 0.1
    done
    return 1
}

pid_alive() {
    [[ -f "$1" ]] && kill -0 "$(cat "$1")" 2>/dev/null
}

stop_pid_file() {
    local file=$1 pid i
    [[ -f "$file" ]] || return 0
    pid=$(cat "$file")
    [[ "$pid" =~ ^[0-9]+$ ]] || return 0
    kill -TERM "$pid" 2>/dev/null || return 0
    for ((i = 0; i < 100; i++)); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
}

start() {
    [[ $(id -u) -eq 0 ]] || fail "must run as root (the daemons run as root)"
    local tool
    for tool in munged slurmctld slurmd sbatch squeue scontrol sinfo; do
        command -v "$tool" >/dev/null ||
            PATH=$PATH:/usr/sbin command -v "$tool" >/dev/null ||
            fail "$tool is missing: install munge, slurmctld, slurmd and slurm-client"
    done
    export PATH=$PATH:/usr/sbin
    # The daemons outlive the test that starts them; a test's preloaded libraries stay with it.
    unset LD_PRELOAD

    if [[ -e "$dir" ]]; then
        # A folder left by an interrupted run: its daemons may still be up.
        "$0" stop "$dir" || true
    fi
    mkdir -p "$dir"/{munge,state,spool,log,run}
    # Every user's client connects to the socket; only the daemon reads the key.
    chmod 755 "$dir" "$dir/run"
    chmod 700 "$dir/munge"
    dir=$(cd "$dir" && pwd)
    local socket="$dir/run/munge.socket"
    # A Unix socket's path must fit sun_path.
    ((${#socket} < 100)) || fail "socket path too long: $socket"

    # The key is random bytes only this test cluster knows.
    head -c 1024 /dev/urandom >"$dir/munge/munge.key"
    chmod 400 "$dir/munge/munge.key"
    munged --socket="$socket" --key-file="$dir/munge/munge.key" \
        --pid-file="$dir/run/munged.pid" --log-file="$dir/log/munged.log" \
        --seed-file="$dir/munge/munged.seed" ||
        {
            show_logs
            fail "munged did not start"
        }
    wait_for 50 test -S "$socket" || {
        show_logs
        fail "munged made no socket"
    }

    local host
    host=$(hostname -s)
    # The node's real shape (cores, memory), so that the controller accepts its registration.
    local shape
    shape=$(slurmd -C | head -n 1 | sed -e 's/^NodeName=[^ ]* //')
    local ctld_port slurmd_port
    ctld_port=$(free_port)
    slurmd_port=$(free_port)
    while [[ "$slurmd_port" == "$ctld_port" ]]; do slurmd_port=$(free_port); done

    cat >"$dir/slurm.conf" <<CONF
# A one-node test cluster; everything it keeps is under $dir.
ClusterName=cellvanetest
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$ctld_port
SlurmdPort=$slurmd_port
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$socket
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/run/slurmctld.pid
SlurmdPidFile=$dir/run/slurmd.pid
SlurmctldLogFile=$dir/log/slurmctld.log
SlurmdLogFile=$dir/log/slurmd.log
SlurmctldDebug=info
SlurmdDebug=info
# No systemd, no cgroups: processes are tracked through /proc, tasks are not confined.
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
SchedulerType=sched/backfill
MpiDefault=none
MailProg=/bin/true
ReturnToService=2
# Finished jobs stay visible to scontrol for a while, since there is no accounting database.
MinJobAge=600
# A short scheduling cycle keeps test jobs from waiting.
SchedulerParameters=sched_interval=2
SlurmdTimeout=60
InactiveLimit=0
KillWait=5
NodeName=$host NodeAddr=127.0.0.1 $shape State=UNKNOWN
PartitionName=test Nodes=$host Default=YES MaxTime=INFINITE State=UP
CONF

    export SLURM_CONF="$dir/slurm.conf"
    slurmctld -f "$SLURM_CONF" || {
        show_logs
        fail "slurmctld did not start"
    }
    wait_for 100 scontrol ping || {
        show_logs
        fail "slurmctld does not answer"
    }
    slurmd -f "$SLURM_CONF" -N "$host" || {
        show_logs
        fail "slurmd did not start"
    }
    node_idle() {
        sinfo -h -n "$host" -o %T | grep -qx idle
    }
    wait_for 300 node_idle || {
        sinfo >&2 || true
        show_logs
        fail "the node did not become idle"
    }
    echo "slurm test cluster up in $dir (SLURM_CONF=$SLURM_CONF)"
}

stop() {
    [[ -d "$dir" ]] || return 0
    export PATH=$PATH:/usr/sbin
    export SLURM_CONF="$dir/slurm.conf"
    if pid_alive "$dir/run/slurmctld.pid"; then
        # Jobs still running would outlive slurmd in their step daemons; end them first.
        local jobs
        jobs=$(squeue -h -o %A 2>/dev/null || true)
        if [[ -n "$jobs" ]]; then
            # shellcheck disable=SC2086
            scancel $jobs 2>/dev/null || true
            queue_empty() { [[ -z "$(squeue -h -o %A 2>/dev/null)" ]]; }
            wait_for 200 queue_empty || echo "slurm test cluster: jobs still queued at stop" >&2
        fi
    fi
    stop_pid_file "$dir/run/slurmd.pid"
    stop_pid_file "$dir/run/slurmctld.pid"
    stop_pid_file "$dir/run/munged.pid"
    rm -rf "$dir"
}

case "$action" in
start) start ;;
stop) stop ;;
env) echo "export SLURM_CONF=$(cd "$dir" && pwd)/slurm.conf" ;;
*) usage ;;
esac
