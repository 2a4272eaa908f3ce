"""What the benchmark scripts share: running a command and reading the CPU time it spent."""
import resource
import subprocess
import sys


def run(command, **kwargs):
    """Runs `command`, its output kept; a failure shows the end of its stderr and raises."""
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                          **kwargs)
    if done.returncode != 0:
        sys.stderr.write(done.stderr[-4000:])
        raise RuntimeError(f"{' '.join(command)}: status {done.returncode}")
    return done


def cpu_of(command, timeout=600):
    """The CPU time (user + system) `command` and the children it waited for spent."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    run(command, timeout=timeout)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
