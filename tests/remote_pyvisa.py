#!/usr/bin/env python3
"""Remote control as a lab's script meets it: pyvisa's own socket client
drives a running panel on the simulated card, and what the card was told is
read back from the simulated system's call trace.

    remote_pyvisa.py PATH/TO/kd7240fp

Each row sends commands and says what the card's last generate call (or the
error queue) must then show; every row also reads the error queue, so a
command that failed unasked fails its row. Exits 0 when every row holds.
"""
import json
import os
import socket
import subprocess
import sys
import tempfile
import time

try:
    import pyvisa
    pyvisa.ResourceManager("@py").close()
except Exception as e:  # missing module or backend: say which package brings it
    print(f"remote_pyvisa: FAIL: pyvisa with its pure-Python backend is needed "
          f"(Debian: python3-pyvisa-py; scripts/install-deps.sh installs it): {e}")
    sys.exit(1)

# Exact in float32 and within +-0.5: played as sent, at half the amplitude.
SHAPE = [0.0, 0.125, 0.25, 0.5, 0.25, 0.0, -0.25, -0.5, -0.375, -0.125]
DAC = [0, 8192, 16384, -16384, -8192]
AMPLITUDE, OFFSET = 1.5, 0.5  # VOLT 3 (Vpp); VOLT:OFFS 0.5


def binary(header, values, datatype, big_endian):
    return lambda inst: inst.write_binary_values(header, values, datatype=datatype, is_big_endian=big_endian)


TIMED = {}


def timed(command):
    """A query whose answer's wait is noted."""
    def run(inst):
        t0 = time.monotonic()
        inst.query(command)
        TIMED["waited"] = time.monotonic() - t0
    return run


# (what, commands (text or a call on the instrument), what must hold)
ROWS = [
    ("output on generates", ["FUNC SIN;FREQ 2500;VOLT 2;VOLT:OFFS 0", "OUTP ON"], {"channel": 1, "cycles": 0}),
    ("frequency", ["FREQ 5000"], {"frequency": 5000}),
    ("amplitude in Vpp and offset", ["VOLT 3;VOLT:OFFS 0.5"], {"range": (-1.0, 2.0)}),
    ("square shape", ["FUNC SQU"], {"levels": {-1.0, 2.0}}),
    ("ASCII shape", ["DATA:ARB ASC, " + ", ".join(map(str, SHAPE)), "FUNC:ARB ASC;:FUNC ARB"],
     {"samples": [v * AMPLITUDE + OFFSET for v in SHAPE]}),
    ("float32 block, big-endian", [binary("DATA:ARB BIG, ", SHAPE[::-1], "f", True), "FUNC:ARB BIG"],
     {"samples": [v * AMPLITUDE + OFFSET for v in SHAPE[::-1]]}),
    ("float32 block, swapped", ["FORM:BORD SWAP", binary("DATA:ARB LITTLE, ", SHAPE[1:], "f", False),
                                "FUNC:ARB LITTLE"], {"samples": [v * AMPLITUDE + OFFSET for v in SHAPE[1:]]}),
    ("int16 DAC block", [binary("DATA:ARB:DAC DAC, ", DAC, "h", False), "FUNC:ARB DAC"],
     {"samples": [v / 32767 * AMPLITUDE + OFFSET for v in DAC]}),
    ("burst of 5 set while idle", ["OUTP OFF", "FUNC SIN;BURS:STAT ON;NCYC 5", "OUTP ON"], {"cycles": 5}),
    ("bad header", ["FREQ:BOGUS 1"], {"error": -113}),
    ("value beyond the card", ["VOLT:OFFS 1000"], {"error": -222}),
    # 50 cycles at 100 Hz: *OPC? answers once the triggered burst has played them.
    ("*OPC? waits for a triggered burst", ["*CLS;:OUTP OFF", "FUNC SIN;FREQ 100;:TRIG:SOUR BUS;:BURS:STAT ON;NCYC 50",
                                            "OUTP ON", timed("*TRG;*OPC?")], {"waited": 0.45}),
    ("a DC level goes to 0 V with its output", ["*CLS;:OUTP OFF", "FUNC DC;VOLT:OFFS 3", "OUTP ON", "OUTP OFF"],
     {"dacs": [(3.0, 0.0), (0.0, 0.0)]}),
]


def close(a, b):
    return abs(a - b) <= 1e-9 * max(1.0, abs(b))


def check(want, generate, writes, error):
    """What is wrong with the row's outcome, or None."""
    code = int(error.split(",")[0])
    if code != want.get("error", 0):
        return f"error queue says {error}"
    if "error" in want:
        return None
    if "waited" in want:
        got = TIMED.get("waited", 0)
        return None if got >= want["waited"] else f"*OPC? answered after {got:.3f} s"
    if "dacs" in want:
        dacs = [(w["args"]["ch1"], w["args"]["ch2"]) for w in writes]
        return None if dacs == want["dacs"] else f"dacs: wanted {want['dacs']}, the card was written {dacs}"
    if generate is None:
        return "no generate call"
    args = generate["args"]
    values = args["data"].get("values", [])
    seen = {
        "channel": args.get("channel"),
        "cycles": args.get("cycles"),
        "frequency": args["rate"] / args["nSam"],
        "range": (args["data"]["min"], args["data"]["max"]),
        "levels": set(values),
        "samples": values,
    }
    for key, value in want.items():
        got = seen[key]
        if key == "frequency":
            ok = close(got, value)
        elif key in ("range", "samples"):
            ok = len(got) == len(value) and all(close(g, v) for g, v in zip(got, value))
        else:
            ok = got == value
        if not ok:
            return f"{key}: wanted {str(value)[:200]}, the card got {str(got)[:200]}"
    return None


def trace_lines(path):
    """The whole lines of the trace: the panel's poll may be writing one."""
    with open(path) as f:
        return [line for line in f.read().splitlines(keepends=True) if line.endswith("\n")]


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def open_instrument(rm, port, panel, deadline):
    """The panel's remote socket, as soon as it answers, and its *IDN?."""
    while True:
        inst = rm.open_resource(f"TCPIP0::127.0.0.1::{port}::SOCKET", read_termination="\n",
                                write_termination="\n", timeout=10000)
        try:
            return inst, inst.query("*IDN?")
        except (OSError, pyvisa.errors.VisaIOError):  # not listening yet: pyvisa-py connects on first use
            inst.close()
            if panel.poll() is not None:
                raise RuntimeError(f"the panel ended (status {panel.returncode}) before its remote socket answered")
            if time.monotonic() > deadline:
                raise
            time.sleep(0.1)


def run(program, folder):
    trace = os.path.join(folder, "trace.jsonl")
    port = free_port()
    env = dict(os.environ, KDSIM_TRACE=trace, KDSIM_TRACE_SAMPLES="1", KDSIM_SYSTEM="")
    log = open(os.path.join(folder, "panel.log"), "wb")
    panel = subprocess.Popen([program, "--connect", "VXI0::8::INSTR", "--no-restore", "--remote-port", str(port)],
                             env=env, stdout=log, stderr=subprocess.STDOUT)
    failures = None
    rm = pyvisa.ResourceManager("@py")
    try:
        inst, identity = open_instrument(rm, port, panel, time.monotonic() + 60)
        print(f"remote_pyvisa: {identity}")
        failures = 0
        for what, commands, want in ROWS:
            before = len(trace_lines(trace))
            for command in commands:
                inst.write(command) if isinstance(command, str) else command(inst)
            inst.query("*OPC?")  # the card was told whatever the commands tell it
            error = inst.query("SYST:ERR?")
            calls = [json.loads(line) for line in trace_lines(trace)[before:]]
            generates = [c for c in calls if c["call"].startswith("kd7240_generateWaveform")]
            writes = [c for c in calls if c["call"] == "kd7240_writeChannels"]
            problem = check(want, generates[-1] if generates else None, writes, error)
            print(f"remote_pyvisa: {'FAIL' if problem else 'ok'}: {what}" + (f": {problem}" if problem else ""))
            failures += problem is not None
        inst.close()
    finally:
        rm.close()
        # Ended as an operator's SIGTERM ends it, so that it takes back what
        # it registered with rpcbind; killed only when it does not end.
        panel.terminate()
        try:
            panel.wait(timeout=10)
        except subprocess.TimeoutExpired:
            panel.kill()
            panel.wait()
        log.close()
        if failures != 0:  # an assertion or an exception: what the panel said
            with open(os.path.join(folder, "panel.log"), errors="replace") as f:
                sys.stdout.write(f.read())
    return failures == 0


def main():
    if len(sys.argv) != 2:
        print("usage: remote_pyvisa.py PATH/TO/kd7240fp")
        return 2
    with tempfile.TemporaryDirectory() as folder:
        return 0 if run(sys.argv[1], folder) else 1


if __name__ == "__main__":
    sys.exit(main())
