# Type stubs of ternwick.batch.
import os
from typing import Any, Dict, Iterable, List, Optional, Union

PARTITION_SIZE: int

def read_file(path: Union[str, os.PathLike[str]], max_symbols: int = 1) -> Dict[str, Any]:
    """Decodes one file into a record; never raises for a bad file."""

def read_files(
    paths: Iterable[Union[str, os.PathLike[str]]],
    client: Optional[Any] = None,
    max_symbols: int = 1,
    partition_size: int = ...,
    retries: int = 1,
) -> List[Dict[str, Any]]:
    """Decodes every file; returns one record a file, in the order given."""
