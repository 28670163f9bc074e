"""Where the harness's time goes: seconds spent in named phases, each counted without the phases it calls (a walk's
wait for a still view is the wait's, not the walk's)."""

import functools
import time


class Phases:
    def __init__(self):
        self.spent = {}  # name: [seconds, calls]
        self.within = {}  # "name in caller": [seconds, calls]
        self.stack = []  # [name, start, seconds of the phases it called]

    def wrap(self, name, function):
        @functools.wraps(function)
        def timed(*args, **kwargs):
            parent = self.stack[-1][0] if self.stack else "battle"
            self.stack.append([name, time.monotonic(), 0.0])
            try:
                return function(*args, **kwargs)
            finally:
                entry = self.stack.pop()
                took = time.monotonic() - entry[1]
                for key in (name, "%s in %s" % (name, parent)):
                    total = (self.spent if key == name else self.within).setdefault(key, [0.0, 0])
                    total[0] += took - entry[2]
                    total[1] += 1
                if self.stack:
                    self.stack[-1][2] += took
        return timed

    def watch(self, owner, *names):
        """Times the methods of an object by their names."""
        for name in names:
            setattr(owner, name, self.wrap(name, getattr(owner, name)))

    def clear(self):
        self.spent.clear()
        self.within.clear()

    def report(self, by_caller=False):
        """The phases, most time first: 'name seconds/calls' (by_caller: 'name in caller seconds/calls')."""
        ordered = sorted((self.within if by_caller else self.spent).items(), key=lambda item: -item[1][0])
        return ", ".join("%s %.0f s/%d" % (name, seconds, calls) for name, (seconds, calls) in ordered
                         if seconds >= 0.5)
