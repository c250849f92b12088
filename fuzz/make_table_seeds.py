#!/usr/bin/env python3
"""Writes the seed inputs of table_fuzz into corpus/table/: small tables in
both formats, with and without memos, in the fuzz target's input layout
(2-byte little-endian .dbf length, the .dbf, then the .fpt)."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def dbf(type_byte, fields, records, vfp):
    header_len = 32 + 32 * len(fields) + 1 + (263 if vfp else 0)
    record_len = 1 + sum(f[2] for f in fields)
    flags = 0x02 if vfp and any(f[1] == 'M' for f in fields) else 0
    out = bytearray(struct.pack('<B3BIHH16xBB2x', type_byte, 124, 1, 2, len(records), header_len, record_len, flags, 3))
    offset = 1
    for name, ftype, length, dec, fflags in fields:
        out += struct.pack('<11scIBBB13x', name.encode(), ftype.encode(), offset, length, dec, fflags)
        offset += length
    out += b'\r' + (b'\0' * 263 if vfp else b'')
    for rec in records:
        out += rec
    return bytes(out + b'\x1a')


def fpt(memos, block=64):
    out = bytearray(struct.pack('>I2xH', 0, block) + b'\0' * 504)
    for text in memos:
        body = struct.pack('>II', 1, len(text)) + text
        out += body + b'\0' * (-len(body) % block)
    out[0:4] = struct.pack('>I', len(out) // block)
    return bytes(out)


def seed(name, dbf_bytes, fpt_bytes=b''):
    with open(os.path.join(HERE, 'corpus', 'table', name), 'wb') as f:
        f.write(struct.pack('<H', len(dbf_bytes)) + dbf_bytes + fpt_bytes)


vfp_fields = [('NAME', 'C', 6, 0, 0), ('QTY', 'N', 4, 1, 0), ('ID', 'I', 4, 0, 0),
              ('WHEN', 'T', 8, 0, 0), ('NOTES', 'M', 4, 0, 0)]
vfp_records = [b' ann   ' + b' 2.5' + struct.pack('<iiiI', 7, 2460000, 3600000, 8),
               b'*bob   ' + b'-1.0' + struct.pack('<iiiI', -3, 0, 0, 9)]
seed('vfp_memo', dbf(0x30, vfp_fields, vfp_records, True), fpt([b'first note', b'second']))

fox_fields = [('NAME', 'C', 4, 0, 0), ('D', 'D', 8, 0, 0), ('L', 'L', 1, 0, 0), ('NOTES', 'M', 10, 0, 0)]
fox_records = [b' abcd19991231T         8', b' xyz         ?          ']
seed('fox2_memo', dbf(0xF5, fox_fields, fox_records, False), fpt([b'memo']))

null_fields = [('V', 'V', 5, 0, 0x02), ('Y', 'Y', 8, 4, 0), ('_NullFlags', '0', 1, 0, 0x05)]
seed('vfp_varchar', dbf(0x32, null_fields, [b' ab\0\0\x02' + struct.pack('<q', 12345) + b'\x01',
                                            b' abcde' + struct.pack('<q', -1) + b'\x02'], True))
