#!/usr/bin/python3
"""An independent Modbus slave for interoperability tests: pymodbus serves holding registers (and input
registers, coils and discrete inputs of the same size) on a serial port, or on 127.0.0.1 as a Modbus TCP
server or as a gateway passing RTU frames over TCP, and after every write of a holding register dumps what it
holds, so a test can compare that with what it meant to write. On a serial port the first line it prints is
"ready PORT"; over TCP it is the address a master opens, tcp://127.0.0.1:N or rtu+tcp://127.0.0.1:N."""
import argparse
import asyncio
import os
import signal
import sys

from pymodbus.datastore import ModbusSequentialDataBlock, ModbusServerContext, ModbusSlaveContext
from pymodbus.server import StartAsyncSerialServer, StartAsyncTcpServer
from pymodbus.transaction import ModbusRtuFramer, ModbusSocketFramer


class RecordingBlock(ModbusSequentialDataBlock):
    """Holding registers that write their whole content to a file after every change."""

    def __init__(self, values, dump_path, writes_path):
        super().__init__(0, values)
        self.dump_path = dump_path
        self.writes_path = writes_path
        self.dump()

    def setValues(self, address, values):  # pylint: disable=invalid-name
        super().setValues(address, values)
        if not isinstance(values, list):
            values = [values]
        if self.writes_path:
            # One line per write as the server applied it: "ADDRESS VALUE VALUE ..." (decimal).
            with open(self.writes_path, "a", encoding="ascii") as log:
                log.write(" ".join(str(v) for v in [address] + list(values)) + "\n")
        self.dump()

    def dump(self):
        if not self.dump_path:
            return
        # Write beside and rename, so a reader never sees half a dump.
        tmp = self.dump_path + ".tmp"
        with open(tmp, "w", encoding="ascii") as out:
            out.write(" ".join(str(v) for v in self.values) + "\n")
        os.replace(tmp, self.dump_path)


def parse_set(text):
    """ADDRESS=V,V,... with decimal or 0x-hexadecimal numbers."""
    address, _, values = text.partition("=")
    return int(address, 0), [int(v, 0) & 0xFFFF for v in values.split(",") if v]


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    where = parser.add_mutually_exclusive_group(required=True)
    where.add_argument("--port", help="serial port to serve on")
    where.add_argument("--tcp", type=int, metavar="PORT", help="serve Modbus TCP on 127.0.0.1:PORT (0: any)")
    where.add_argument("--rtu-tcp", type=int, metavar="PORT",
                       help="serve RTU frames over TCP on 127.0.0.1:PORT (0: any)")
    parser.add_argument("--baud", type=int, default=9600)
    parser.add_argument("--slave", type=int, default=1)
    parser.add_argument("--size", type=int, default=256, help="number of holding registers from address 0")
    parser.add_argument("--set", action="append", default=[], metavar="ADDR=V,V,...",
                        help="initial register values")
    for table in ("input", "coil", "discrete"):
        parser.add_argument(f"--set-{table}", action="append", default=[], metavar="ADDR=V,V,...",
                            help=f"initial {table} values")
    parser.add_argument("--dump", help="file that holds all register values, rewritten after every write")
    parser.add_argument("--writes", help="file that gets one line per applied write")
    args = parser.parse_args()

    values = [0] * args.size
    for item in args.set:
        address, words = parse_set(item)
        values[address:address + len(words)] = words
    block = RecordingBlock(values, args.dump, args.writes)
    tables = {}
    for table, items in (("input", args.set_input), ("coil", args.set_coil), ("discrete", args.set_discrete)):
        table_values = [0] * args.size
        for item in items:
            address, words = parse_set(item)
            table_values[address:address + len(words)] = words
        tables[table] = ModbusSequentialDataBlock(0, table_values)
    # zero_mode: address 0 is the block's first element, as the master counts.
    store = ModbusSlaveContext(hr=block, ir=tables["input"], co=tables["coil"], di=tables["discrete"],
                               zero_mode=True)
    context = ModbusServerContext(slaves={args.slave: store}, single=False)
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))  # pylint: disable=protected-access
    tcp = args.tcp is not None or args.rtu_tcp is not None
    sys.exit(asyncio.run(serve_tcp(context, args) if tcp else serve(context, args)))


async def serve(context, args):
    # The line has no parity on a pseudo-terminal; the pair is still 11 bits per character.
    server = await StartAsyncSerialServer(context=context, framer=ModbusRtuFramer, defer_start=True,
                                          port=args.port, baudrate=args.baud, bytesize=8, parity="N",
                                          stopbits=2, timeout=0.005)
    await server.start()
    # The server keeps running silently when its port fails to open: say so and stop instead.
    if server.transport is None:
        print(f"cannot open {args.port}", file=sys.stderr, flush=True)
        return 1
    print(f"ready {args.port}", flush=True)
    await server.serve_forever()
    return 0


async def serve_tcp(context, args):
    rtu = args.rtu_tcp is not None
    server = await StartAsyncTcpServer(context=context, framer=ModbusRtuFramer if rtu else ModbusSocketFramer,
                                       address=("127.0.0.1", args.rtu_tcp if rtu else args.tcp),
                                       allow_reuse_address=True, defer_start=True)
    serving = asyncio.ensure_future(server.serve_forever())
    # A port that cannot be bound ends serve_forever before the server ever says it serves.
    await asyncio.wait({serving, server.serving}, return_when=asyncio.FIRST_COMPLETED)
    if not server.serving.done():
        print(f"cannot listen: {serving.exception()}", file=sys.stderr, flush=True)
        return 1
    port = server.server.sockets[0].getsockname()[1]
    print(f"{'rtu+tcp' if rtu else 'tcp'}://127.0.0.1:{port}", flush=True)
    await serving
    return 0


if __name__ == "__main__":
    main()
