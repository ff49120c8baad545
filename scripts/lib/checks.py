"""The PASS/FAIL lines of the Python checks that scripts/test counts, and their failures."""

failures = 0


def check(name, expected, saw):
    global failures
    if expected == saw:
        print(f"PASS {name}")
    else:
        failures += 1
        print(f"FAIL {name}: expected {expected!r}, saw {saw!r}")
