#!/usr/bin/env python3
"""The panel opened as a LAN instrument: pyvisa-py's VXI-11 client opens
TCPIP0::127.0.0.1::inst0::INSTR (found through rpcbind) on a running panel
on the simulated card, and lxi-tools asks it *IDN?; each row is checked in
the simulated system's call trace or against the socket. A last row lists
the panel with avahi-browse when it listens beyond this computer.

    remote_vxi11.py PATH/TO/kd7240fp

What the machine lacks is started when it can be (rpcbind; a system bus and
avahi-daemon, as root, the latter in a network namespace of the test's own
so that nothing is announced on a real network); otherwise the rows that
need it are skipped with a message naming it. Exits 0 when every row run
holds.
"""
import json
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from remote_pyvisa import trace_lines, free_port  # noqa: E402 (also checks pyvisa is there)

import pyvisa  # noqa: E402
from pyvisa import constants  # noqa: E402

RESOURCE = "TCPIP0::127.0.0.1::inst0::INSTR"
ROOT = os.geteuid() == 0
BLOCK = [((i % 200) - 100) / 128 for i in range(262143)]  # exact in float32, within +-1


def say(text):
    print(f"remote_vxi11: {text}", flush=True)


def calls(trace, before, name):
    return [c for c in map(json.loads, trace_lines(trace)[before:]) if c["call"].startswith(name)]


def rpcbind_running():
    return subprocess.run(["rpcinfo", "-p", "127.0.0.1"], capture_output=True).returncode == 0


def start_rpcbind(started):
    """rpcbind running, started here when it can be; None, or why not."""
    if rpcbind_running():
        return None
    if not ROOT or not shutil.which("rpcbind"):
        return "rpcbind is not installed (Debian: rpcbind)" if ROOT \
            else "rpcbind is not running, and only root can start it"
    os.makedirs("/run/rpcbind", exist_ok=True)
    started.append(subprocess.Popen(["rpcbind", "-f", "-w"]))
    for _ in range(50):
        if rpcbind_running():
            return None
        time.sleep(0.1)
    return "rpcbind did not start"


def registered():
    """Whether rpcbind lists the VXI-11 core program."""
    out = subprocess.run(["rpcinfo", "-p", "127.0.0.1"], capture_output=True, text=True).stdout
    return " 395183 " in out


def start_panel(program, folder, args, prefix=()):
    trace = os.path.join(folder, "trace.jsonl")
    env = dict(os.environ, KDSIM_TRACE=trace, KDSIM_TRACE_SAMPLES="1", KDSIM_SYSTEM="")
    log = open(os.path.join(folder, "panel.log"), "ab")
    panel = subprocess.Popen([*prefix, program, "--connect", "VXI0::8::INSTR", "--no-restore", *args],
                             env=env, stdout=log, stderr=subprocess.STDOUT)
    return panel, trace


def open_vxi11(rm, panel):
    """The panel's VXI-11 link once it answers; it registers with rpcbind as
    it starts, so the port rpcbind names must be this panel's."""
    deadline = time.monotonic() + 60
    while True:
        if panel.poll() is not None:
            raise RuntimeError(f"the panel ended (status {panel.returncode})")
        if registered():
            try:
                inst = rm.open_resource(RESOURCE, timeout=10000)
                inst.query("*IDN?")
                return inst
            except Exception:
                pass
        if time.monotonic() > deadline:
            raise RuntimeError("the panel's VXI-11 server did not answer through rpcbind")
        time.sleep(0.2)


def rows(inst, other, trace):
    """(what, check) pairs; each check returns a problem or None."""

    def idn():
        reply = inst.query("*IDN?").strip()
        serial = calls(trace, 0, "kd7240_readSerialNo")[-1]["out"]["serial"]
        fields = reply.split(",")
        if len(fields) != 4 or fields[2] != f"{serial:08x}":
            return f"*IDN? said {reply!r}; the card's serial number is {serial:08x}"

    def command():
        before = len(trace_lines(trace))
        inst.write("FUNC SIN;FREQ 2500;VOLT 2;VOLT:OFFS 0;:OUTP ON")
        inst.query("*OPC?")
        gen = calls(trace, before, "kd7240_generateWaveform")
        if not gen or gen[-1]["args"]["rate"] / gen[-1]["args"]["nSam"] != 2500:
            return f"the card was told {gen[-1]['args'] if gen else 'nothing'}"

    def block():
        before = len(trace_lines(trace))
        inst.write_binary_values("DATA:ARB LAN, ", BLOCK, datatype="f", is_big_endian=True)
        inst.write("FREQ 1;:FUNC:ARB LAN;:FUNC ARB")  # 262143 samples a period, within the card's rate
        error = inst.query("SYST:ERR?")
        gen = calls(trace, before, "kd7240_generateWaveform")
        values = gen[-1]["args"]["data"].get("values", []) if gen else []
        want = [v * 1.0 for v in BLOCK]  # VOLT 2: played as sent, at 1 V of amplitude
        if not error.startswith("+0") or len(values) != len(want) or \
                any(abs(a - b) > 1e-9 for a, b in zip(values, want)):
            return f"{error.strip()}; the card got {len(values)} values"

    def clear():
        inst.write("*IDN?")
        inst.clear()
        freq = inst.query("FREQ?").strip()
        played = calls(trace, 0, "kd7240_generateWaveform")[-1]["args"]
        if abs(float(freq) - played["rate"] / played["nSam"]) > 1e-6 * float(freq):
            return f"after clear() FREQ? read {freq!r}"

    def stb():
        inst.write("FREQ:BOGUS 1")
        after_error = inst.read_stb()
        inst.write("*CLS")
        after_cls = inst.read_stb()
        if not after_error & 0x04 or after_cls != 0:
            return f"status byte {after_error:#x} after the error, {after_cls:#x} after *CLS"

    def trigger():
        inst.write("OUTP OFF;:TRIG:SOUR BUS;:BURS:STAT ON;NCYC 3;:OUTP ON")
        inst.query("*OPC?")
        before = len(trace_lines(trace))
        inst.assert_trigger()
        inst.query("*OPC?")
        pulses = calls(trace, before, "kd7240_pulseITRI")
        inst.write("OUTP OFF;:BURS:STAT OFF;:TRIG:SOUR IMM")
        if len(pulses) != 1:
            return f"{len(pulses)} trigger pulses"

    def lock():
        inst.write("FUNC SIN;FREQ 2000;:OUTP ON")
        inst.query("*OPC?")
        inst.lock_excl()
        before = len(trace_lines(trace))
        try:
            other.write("FREQ 2500")
            other.query("*OPC?")
            refused = None
        except pyvisa.errors.VisaIOError as e:  # pyvisa-py says error 11 on a write as an I/O error
            refused = e
        finally:
            inst.unlock()
        if refused is None or calls(trace, before, "kd7240_generateWaveform"):
            return "the other link wrote while the device was locked"
        other.write("FREQ 2500")
        other.query("*OPC?")
        gen = calls(trace, before, "kd7240_generateWaveform")
        if not gen or gen[-1]["args"]["rate"] / gen[-1]["args"]["nSam"] != 2500:
            return "the other link's write after unlock() did not reach the card"

    def lxi():
        if not shutil.which("lxi"):
            say("skip: lxi scpi: lxi-tools is not installed (Debian: lxi-tools)")
            return None
        out = subprocess.run(["lxi", "scpi", "-a", "127.0.0.1", "*IDN?"], capture_output=True, text=True,
                             timeout=30).stdout.strip()
        if out != inst.query("*IDN?").strip():
            return f"lxi said {out!r}"

    return [("*IDN? names the card", idn), ("a command and its card call", command),
            ("a 262143-value binary block", block), ("clear() drops an unread reply", clear),
            ("read_stb() after an error and after *CLS", stb), ("assert_trigger() pulses the trigger line", trigger),
            ("lock_excl() refuses the other link until unlock()", lock), ("lxi scpi *IDN?", lxi)]


def run_rows(program, folder):
    panel, trace = start_panel(program, folder, ["--remote-port", str(free_port())])
    rm = pyvisa.ResourceManager("@py")
    failures = 0
    try:
        inst = open_vxi11(rm, panel)
        other = rm.open_resource(RESOURCE, timeout=2000)
        for what, check in rows(inst, other, trace):
            problem = check()
            say(f"{'FAIL' if problem else 'ok'}: {what}" + (f": {problem}" if problem else ""))
            failures += problem is not None
        other.close()
        inst.close()
    except Exception as e:
        say(f"FAIL: {e}")
        failures += 1
    finally:
        rm.close()
        panel.terminate()
        panel.wait()
    # Quitting takes the registration back.
    if registered():
        say("FAIL: the panel left its VXI-11 registration with rpcbind when it quit")
        failures += 1
    else:
        say("ok: the registration is taken back at exit")
    return failures


BUS = "/run/dbus/system_bus_socket"


def bus_alive():
    with socket.socket(socket.AF_UNIX) as s:
        try:
            s.connect(BUS)
            return True
        except OSError:
            return False


def start_avahi(started, namespace):
    """A system bus and avahi-daemon inside `namespace`; None, or why not."""
    if not ROOT:
        return "the Avahi row needs root (a network namespace of its own with its own avahi-daemon)"
    for tool in ("ip", "dbus-daemon", "avahi-daemon", "avahi-browse"):
        if not shutil.which(tool):
            return f"{tool} is not installed (Debian: iproute2, dbus, avahi-daemon, avahi-utils)"
    if subprocess.run(["avahi-daemon", "--check"], capture_output=True).returncode == 0:
        return "avahi-daemon runs already; the row runs its own in a namespace where nothing reaches a network"
    if not bus_alive():
        # What a bus that was stopped left behind keeps a new one from starting.
        for left in (BUS, "/run/dbus/pid"):
            if os.path.exists(left):
                os.remove(left)
        os.makedirs("/run/dbus", exist_ok=True)
        started.append(subprocess.Popen(["dbus-daemon", "--system", "--nofork"], stderr=subprocess.DEVNULL))
        started.append(lambda: [os.remove(f) for f in (BUS, "/run/dbus/pid") if os.path.exists(f)])
        for _ in range(50):
            if bus_alive():
                break
            time.sleep(0.1)
    ns = ["ip", "netns", "exec", namespace]
    subprocess.run(["ip", "netns", "add", namespace], check=True)
    started.append(namespace)
    # Two ends of a virtual cable inside the namespace: multicast stays there.
    for command in (["ip", "link", "add", "v0", "type", "veth", "peer", "name", "v1"],
                    ["ip", "addr", "add", "10.213.0.1/24", "dev", "v0"],
                    ["ip", "link", "set", "v0", "up"], ["ip", "link", "set", "v1", "up"],
                    ["ip", "link", "set", "lo", "up"]):
        subprocess.run(ns + command, check=True)
    started.append(subprocess.Popen(ns + ["avahi-daemon", "--no-chroot", "--no-rlimits"],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    for _ in range(50):
        if subprocess.run(["avahi-daemon", "--check"], capture_output=True).returncode == 0:
            return None
        time.sleep(0.1)
    return "avahi-daemon did not start"


def lxi_discovers(name):
    """lxi-tools' own mDNS discovery lists the panel; 0, or 1 when it does not."""
    if not shutil.which("lxi"):
        say("skip: lxi discover --mdns: lxi-tools is not installed (Debian: lxi-tools)")
        return 0
    out = subprocess.run(["lxi", "discover", "--mdns", "-t", "3"], capture_output=True, text=True, timeout=30).stdout
    # avahi-browse escapes the name's blanks and brackets (\032, \040...); lxi prints them.
    plain = re.sub(r"\\(\d{3})", lambda m: chr(int(m.group(1))), name)
    if plain in out:
        say(f"ok: lxi discover --mdns lists {plain}")
        return 0
    say(f"FAIL: lxi discover --mdns does not list {plain}: {out!r}")
    return 1


def run_avahi(program, folder, namespace):
    panel, trace = start_panel(program, folder, ["--remote-port", "5025", "--remote-address", "10.213.0.1"],
                               prefix=["ip", "netns", "exec", namespace])
    try:
        deadline = time.monotonic() + 30
        out = ""
        while time.monotonic() < deadline and panel.poll() is None:
            out = subprocess.run(["avahi-browse", "-rtp", "_scpi-raw._tcp"], capture_output=True, text=True,
                                 timeout=30).stdout
            found = [line.split(";") for line in out.splitlines() if line.startswith("=")]
            for fields in found:
                txt = fields[9] if len(fields) > 9 else ""
                serial = calls(trace, 0, "kd7240_readSerialNo")[-1]["out"]["serial"]
                if fields[8] == "5025" and f'"SerialNumber={serial:08x}"' in txt and '"txtvers=1"' in txt \
                        and '"Manufacturer=' in txt and '"Model=' in txt and '"FirmwareVersion=' in txt:
                    say(f"ok: avahi-browse lists {fields[3]} with {txt}")
                    return lxi_discovers(fields[3])
            time.sleep(0.5)
        say(f"FAIL: avahi-browse does not list the panel: {out!r}")
        return 1
    finally:
        panel.terminate()
        panel.wait()


def stop(started):
    """Ends what this script started, the last first: processes by their own
    handle, the namespace by its name."""
    for what in reversed(started):
        if isinstance(what, str):
            subprocess.run(["ip", "netns", "del", what], capture_output=True)
        elif callable(what):
            what()
        else:
            what.terminate()
            what.wait()


def main():
    if len(sys.argv) != 2:
        print("usage: remote_vxi11.py PATH/TO/kd7240fp")
        return 2
    program = sys.argv[1]
    started = []
    failures = 0
    try:
        with tempfile.TemporaryDirectory() as folder:
            why = start_rpcbind(started)
            if why:
                say(f"skip: the VXI-11 rows: {why}")
            else:
                failures += run_rows(program, folder)
            namespace = f"sfp-mdns-{os.getpid()}"
            why = start_avahi(started, namespace)
            if why:
                say(f"skip: the Avahi row: {why}")
            else:
                failures += run_avahi(program, folder, namespace)
    finally:
        stop(started)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
