"""The loop of a Python test script whose groups are ctest tests of their own."""

import shutil
import time


def groups_in(namespace):
    """Maps "x" to each function group_x of a module's `namespace`."""
    return {name[len("group_"):]: fn for name, fn in namespace.items()
            if name.startswith("group_")}


def run_groups(groups, names, context, failure, scratch, skip=None, skipped_status=77):
    """Calls groups[name](context) for each of `names` (all when empty), printing "ok NAME" or
    "FAIL NAME: why" (what ctest's FAIL pattern looks for) when one raises `failure` (an
    exception class or a tuple of them), or "skip NAME: why" when one raises `skip`, then removes
    the directory `scratch`. Returns the exit status: 1 if any group failed, `skipped_status` if
    every group was skipped, else 0."""
    failed = 0
    skipped = 0
    names = names or sorted(groups)
    try:
        for name in names:
            started = time.monotonic()
            try:
                groups[name](context)
                print("ok   %s (%.1f s)" % (name, time.monotonic() - started))
            except failure as e:
                failed += 1
                print("FAIL %s: %s: %s" % (name, type(e).__name__, e))
            except Exception as e:
                if skip is None or not isinstance(e, skip):
                    raise
                skipped += 1
                print("skip %s: %s" % (name, e))
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    return 1 if failed else skipped_status if skipped == len(names) else 0
