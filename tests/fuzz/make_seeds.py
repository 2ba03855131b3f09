#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpora (corpus/<target>/), small inputs
that reach each target's main paths. Run again after a record changes.

Usage: make_seeds.py [path of korvel-vault]
The vault heads come from a vault that korvel-vault makes, so that the
password transform lives in the driver's code alone; without the tool the
vault_header_fuzzer seeds are left as they are."""
import os
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def utf16(text, units):
    raw = text.encode('utf-16-le')
    return raw + b'\0' * (units * 2 - len(raw))


def open_record(name, password, size):
    return (struct.pack('<qB', size, 0) + utf16('\\??\\C:\\' + name, 256) + utf16(password, 16) + b'\0' * 7)


def vault_head(tool, password):
    """The first 1024 bytes of a new vault made by korvel-vault."""
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, 'seed.sec')
        subprocess.run([tool, 'create', path, '2M'], input=(password + '\n') * 2, text=True, check=True,
                       stdout=subprocess.DEVNULL)
        with open(path, 'rb') as vault:
            return vault.read(1024)


def write(target, name, data):
    folder = os.path.join(HERE, 'corpus', target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), 'wb') as out:
        out.write(data)


# Selector: bit 0 the unit, then the code (open, close, change password).
record = open_record('new.sec', 'Secret', 64 * 1024)
assert len(record) == 560
write('control_requests_fuzzer', 'open-on-unit-0', bytes([0, 0]) + record)
write('control_requests_fuzzer', 'open-on-served-unit-1', bytes([1, 0]) + record)
write('control_requests_fuzzer', 'close-unit-1', bytes([3, 0]))
write('control_requests_fuzzer', 'change-password-unit-1', bytes([5, 0]) + utf16('NewPass', 16))
write('control_requests_fuzzer', 'short-open', bytes([0, 16]) + record[:559])

# Length selector, 1024 bytes of head, 32 bytes of password field.
if len(sys.argv) > 1:
    head = vault_head(sys.argv[1], 'Secret12')
    write('vault_header_fuzzer', 'right-password', bytes([34]) + head + utf16('SECRET12', 16))
    write('vault_header_fuzzer', 'wrong-password', bytes([35]) + head + utf16('Secret1', 16))
    write('vault_header_fuzzer', 'zero-head', bytes([36]) + b'\0' * 1024 + utf16('', 16))
    write('vault_header_fuzzer', 'short-file', bytes([20]) + head + utf16('Secret12', 16))

# Selector (unit, code index), output length (two bytes), input.
for index, name in enumerate(['geometry', 'cd-geometry', 'length', 'partition', 'partition-ex', 'toc',
                              'verify', 'set-partition', 'writable']):
    write('disk_queries_fuzzer', name, bytes([1 | index << 1, 0, 1]) + struct.pack('<qI', 512, 4096))
write('disk_queries_fuzzer', 'any-code', bytes([0xE1, 0x40, 0]) + struct.pack('<I', 0x2D1400))


def string(text):
    units = text.encode('utf-16-le')
    body = b''
    for i in range(0, len(units), 2):
        unit = units[i] | units[i + 1] << 8
        body += bytes([unit]) if unit < 0x80 else bytes([0x80 | unit >> 8, unit & 0xFF])
    return bytes([len(text)]) + body


write('exports_fuzzer', 'mount-ex', bytes([0, 1]) + string('C:\\autorun.inf\\x.sec') + struct.pack('>i', 2) +
      string('Pass') + string('T'))
write('exports_fuzzer', 'mount-plain', bytes([1, 0]) + string('C:\\autorun.inf\\y.sec') + struct.pack('>i', 1) +
      string('U'))
write('exports_fuzzer', 'unmount-ex', bytes([2]) + string('S') + struct.pack('>i', 0))
write('exports_fuzzer', 'unmount', bytes([3]) + string('S:') + struct.pack('>i', 1))
write('exports_fuzzer', 'change-password', bytes([4]) + string('S') + string('新密码'))
write('exports_fuzzer', 'null-drive', bytes([4, 0xFF]) + string('x'))

for name, text in [('size', '10G'), ('decimal', '.5'), ('negative', '-3'), ('registry',
                   'HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run'), ('hive', 'HKEY_USERS'),
                   ('trailing', 'HKEY_CURRENT_USER\\Software\\'), ('cut', '12.3456')]:
    write('manager_texts_fuzzer', name, text.encode('utf-16-le'))
