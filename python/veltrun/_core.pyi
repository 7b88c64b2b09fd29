"""The Veltrun core; use the functions of the veltrun package."""

from typing import List, Optional, Tuple

version: str
schemes: Tuple[str, ...]
#: The fields of a record, in the order of its JSON.
record_fields: Tuple[str, ...]

def read(link: bytes, lenient: bool, charset: str) -> str: ...
def wrap(address: bytes, scheme: str, charset: str) -> str: ...

class Finder:
    def __init__(self, text: bytes, lenient: bool, charset: str) -> None: ...
    def next(self) -> Optional[List[str]]: ...
